#pragma once

// The engine's answer to request 9 while an extension runs in a proxy: the
// extension's ISuiteExtension calls arrive on the pipe and are served here,
// in the parcel's context when one is given, or by an attached extension.

#include <windows.h>

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"
#include "parcels/ProxyHandler.h"

class CParcel;

class CProxySuiteExtension : public com::ObjectRoot, public com::DispatchImpl<ISuiteExtension2>, public IProxyHandler {
public:
    // A new object with one reference; E_OUTOFMEMORY when it cannot be made.
    static HRESULT CreateInstance(com::ComPtr<com::Object<CProxySuiteExtension>>& out);
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Not owned; may be null.
    void SetParcel(CParcel* parcel) noexcept { m_parcel = parcel; }
    void SetLogPrefix(const _stringx& prefix) { m_logPrefix = prefix; }
    // Takes a reference to the new extension and drops the old one.
    void SetAttachedExtension(ISuiteExtension* extension);

    // ISuiteExtension2
    STDMETHODIMP get_Attribute(BSTR name, BSTR* value) override;
    STDMETHODIMP LogInfo(BSTR message) override;
    STDMETHODIMP get_Property(BSTR name, BSTR* value) override;
    STDMETHODIMP put_Property(BSTR name, BSTR value) override;
    STDMETHODIMP FormatProperty(BSTR text, BSTR* formatted) override;
    STDMETHODIMP ResolveString(BSTR id, BSTR* resolved) override;
    STDMETHODIMP SendProgressMessage(BSTR message, int current, int maximum, EnumProgressFlags flags) override;

    // Request 9: writes the acceptance and the result record, or the refusal.
    HRESULT HandleRequest(CProxyHandler* pipe, const BYTE* data1, DWORD length1) override;

protected:
    CProxySuiteExtension();
    ~CProxySuiteExtension();

private:
    CParcel* m_parcel = nullptr;
    _stringx m_logPrefix;
    com::ComPtr<ISuiteExtension> m_attached;
};
