#pragma once

// The parcel the engine offered, as a foreign entry sees it inside the proxy:
// each property read goes to the engine as request 13. The action state
// cannot be set from here.

#include <windows.h>

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"

class CProxyHandler;

class CEmbeddedProxyParcelExtension : public com::ObjectRoot, public com::DispatchImpl<IParcel> {
public:
    static constexpr bool kAggregatable = false;

    // A new object with one reference and no pipe; E_OUTOFMEMORY when it cannot be made.
    static HRESULT CreateInstance(com::ComPtr<com::Object<CEmbeddedProxyParcelExtension>>& out);
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Not owned.
    void SetPipe(CProxyHandler* pipe) noexcept { m_pipe = pipe; }

    // IParcel
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

protected:
    CEmbeddedProxyParcelExtension();
    ~CEmbeddedProxyParcelExtension() = default;

private:
    HRESULT ReadText(DWORD subCode, BSTR* text);
    HRESULT ReadNumber(DWORD subCode, DWORD& number, bool& stored);
    template <class T>
    HRESULT ReadInto(DWORD subCode, T* out);

    CProxyHandler* m_pipe = nullptr;
};
