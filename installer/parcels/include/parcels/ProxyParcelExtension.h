#pragma once

// The engine's answer to request 13 while an extension runs in a proxy: the
// extension's reads of the parcel it was offered.

#include <windows.h>

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "parcels/ProxyHandler.h"

class CParcel;

class CProxyParcelExtension : public com::ObjectRoot, public com::DispatchImpl<IParcel>, public IProxyHandler {
public:
    // A new object with one reference; E_OUTOFMEMORY when it cannot be made.
    static HRESULT CreateInstance(com::ComPtr<com::Object<CProxyParcelExtension>>& out);
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Not owned; may be null, and then every read answers E_FAIL.
    void SetParcel(CParcel* parcel) noexcept { m_parcel = parcel; }

    // IParcel: the parcel's own answers; the action state cannot be set from here.
    STDMETHODIMP get_Name(BSTR* name) override;
    STDMETHODIMP get_Description(BSTR* description) override;
    STDMETHODIMP get_ID(BSTR* id) override;
    STDMETHODIMP get_Eligible(VARIANT_BOOL* eligible) override;
    STDMETHODIMP get_Required(VARIANT_BOOL* required) override;
    STDMETHODIMP get_ActionState(EnumParcelInstallState* state) override;
    STDMETHODIMP put_ActionState(EnumParcelInstallState state) override;
    STDMETHODIMP get_DetectedState(EnumParcelInstallState* state) override;
    STDMETHODIMP get_ExitCode(int* code) override;
    STDMETHODIMP get_Type(EnumParcelType* type) override;
    STDMETHODIMP get_UIType(EnumParcelUIType* type) override;

    // Request 13: writes the acceptance and the result record, or the refusal.
    HRESULT HandleRequest(CProxyHandler* pipe, const BYTE* data1, DWORD length1) override;

protected:
    CProxyParcelExtension();
    ~CProxyParcelExtension() = default;

private:
    IParcel2* Parcel() const;

    CParcel* m_parcel = nullptr;
};
