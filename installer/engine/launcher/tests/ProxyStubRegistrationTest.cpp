#include "proxy_stub_registration.h"

#include <gtest/gtest.h>

#include <thread>

#include "com/ComPtr.h"
#include "com_apartment.h"
#include "launcher_probe.h"

namespace {

// A probe object living in the apartment that made it.
class Probe : public ILauncherProbe, public ILauncherCounter {
public:
    virtual ~Probe() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ILauncherProbe)
            *object = static_cast<ILauncherProbe*>(this);
        else if (iid == IID_ILauncherCounter)
            *object = static_cast<ILauncherCounter*>(this);
        else
            return *object = nullptr, E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP ThreadId(long* id) override { return *id = static_cast<long>(GetCurrentThreadId()), S_OK; }
    STDMETHODIMP Echo(BSTR text, BSTR* echoed) override { return *echoed = SysAllocString(text), S_OK; }
    STDMETHODIMP Add(long value, long* total) override { return *total = (sum_ += value), S_OK; }

private:
    LONG references_ = 1;
    long sum_ = 0;
};

// Marshals a probe from this (main) apartment to a second one and calls it
// there; returns what the call saw.
struct CrossCall {
    HRESULT marshalled = E_FAIL;
    HRESULT unmarshalled = E_FAIL;
    long thread = 0;
    std::wstring echoed;
    long total = 0;
};

CrossCall CallFromAnotherApartment()
{
    Probe* probe = new Probe;
    IStream* stream = nullptr;
    CrossCall result;
    result.marshalled =
        CoMarshalInterThreadInterfaceInStream(IID_ILauncherProbe, static_cast<ILauncherProbe*>(probe), &stream);
    probe->Release();
    if (FAILED(result.marshalled))
        return result;

    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread caller([&] {
        const com_apartment apartment(COINIT_APARTMENTTHREADED);
        CProxyStubRegistration registration(LauncherProxyStubs());
        com::ComPtr<ILauncherProbe> remote;
        result.unmarshalled = CoGetInterfaceAndReleaseStream(stream, IID_ILauncherProbe, remote.PutVoid());
        if (SUCCEEDED(result.unmarshalled)) {
            remote->ThreadId(&result.thread);
            BSTR echoed = nullptr;
            BSTR text = SysAllocString(L"hello");
            remote->Echo(text, &echoed);
            SysFreeString(text);
            if (echoed)
                result.echoed = echoed;
            SysFreeString(echoed);
            com::ComPtr<ILauncherCounter> counter;
            if (SUCCEEDED(remote.As(IID_ILauncherCounter, counter)))
                counter->Add(41, &result.total);
        }
        remote.Reset();
        registration.Revoke();
        SetEvent(done);
    });
    // The calls arrive as window messages of this apartment.
    MSG message;
    while (MsgWaitForMultipleObjects(1, &done, FALSE, 10000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    caller.join();
    CloseHandle(done);
    return result;
}

TEST(ProxyStubRegistration, InterfacesCrossApartmentsWithoutRegistryEntries)
{
    const com_apartment apartment(COINIT_APARTMENTTHREADED);
    CProxyStubRegistration registration(LauncherProxyStubs());
    EXPECT_EQ(registration.registered(), LauncherProxyStubs().count);

    const CrossCall call = CallFromAnotherApartment();
    ASSERT_EQ(call.marshalled, S_OK);
    ASSERT_EQ(call.unmarshalled, S_OK);
    EXPECT_EQ(call.thread, static_cast<long>(GetCurrentThreadId()));
    EXPECT_EQ(call.echoed, L"hello");
    EXPECT_EQ(call.total, 41);

    registration.Revoke();
    EXPECT_EQ(registration.registered(), 0u);
}

TEST(ProxyStubRegistration, UnregisteredInterfaceDoesNotCross)
{
    // Without the registration nothing can make a stub for the interface.
    const com_apartment apartment(COINIT_APARTMENTTHREADED);
    const CrossCall call = CallFromAnotherApartment();
    EXPECT_EQ(call.marshalled, E_NOINTERFACE);
}

} // namespace
