#pragma once

// The suite's extension object as a foreign entry sees it inside the proxy:
// every call goes to the engine as request 9 and waits for its result. When
// the engine offered a parcel, the object also answers for IParcel with a
// parcel object that reads over the same pipe.

#include <windows.h>

#include <span>

#include <com/ComPtr.h>
#include <com/Dispatch.h>
#include <com/Object.h>

#include "automation/Interfaces.h"

class CProxyHandler;

class CEmbeddedProxySuiteExtension : public com::ObjectRoot, public com::DispatchImpl<ISuiteExtension2> {
public:
    static constexpr bool kAggregatable = false;

    // A new object with one reference, no pipe and no parcel; E_OUTOFMEMORY when it cannot be made.
    static HRESULT CreateInstance(com::ComPtr<com::Object<CEmbeddedProxySuiteExtension>>& out);
    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override = 0;
    STDMETHODIMP_(ULONG) AddRef() override = 0;
    STDMETHODIMP_(ULONG) Release() override = 0;

    // Not owned: the proxy's pipe end outlives every object made on it.
    void SetPipe(CProxyHandler* pipe) noexcept { m_pipe = pipe; }
    // Whether the engine offered a parcel (bit 0 of the request's value).
    void SetParcelOffered(bool offered) noexcept { m_parcel = offered; }

    // ISuiteExtension2
    STDMETHODIMP get_Attribute(BSTR name, BSTR* value) override;
    STDMETHODIMP LogInfo(BSTR message) override;
    STDMETHODIMP get_Property(BSTR name, BSTR* value) override;
    STDMETHODIMP put_Property(BSTR name, BSTR value) override;
    STDMETHODIMP FormatProperty(BSTR text, BSTR* formatted) override;
    STDMETHODIMP ResolveString(BSTR id, BSTR* resolved) override;
    STDMETHODIMP SendProgressMessage(BSTR message, int current, int maximum, EnumProgressFlags flags) override;

protected:
    CEmbeddedProxySuiteExtension();
    ~CEmbeddedProxySuiteExtension() = default;

private:
    // The IParcel row of the interface table.
    static HRESULT QueryParcel(CEmbeddedProxySuiteExtension* self, REFIID iid, void** out);
    HRESULT Call(DWORD subCode, BSTR text1, BSTR text2, BSTR* result);

    CProxyHandler* m_pipe = nullptr;
    bool m_parcel = false;
};
