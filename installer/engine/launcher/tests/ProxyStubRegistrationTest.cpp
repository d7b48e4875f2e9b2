#include "automation/ProxyStubRegistration.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "automation/Interfaces.h"
#include "com/ComPtr.h"
#include "com_apartment.h"

namespace {

// An error object that lives in the apartment that made it and tells which
// thread answered.
class ThreadError : public IBootstrapError {
public:
    virtual ~ThreadError() = default;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IBootstrapError) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IBootstrapError*>(this);
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

    // No type information: late binding finds nothing.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

    STDMETHODIMP get_Source(EnumBootstrapErrorSource* source) override
    {
        *source = static_cast<EnumBootstrapErrorSource>(0);
        return S_OK;
    }
    STDMETHODIMP get_LastError(HRESULT* result) override
    {
        *result = static_cast<HRESULT>(GetCurrentThreadId());
        return S_OK;
    }
    STDMETHODIMP get_File(BSTR* file) override
    {
        *file = SysAllocString(L"C:\\\\file name.msi");
        return S_OK;
    }
    STDMETHODIMP get_Parcel(IParcel** parcel) override
    {
        *parcel = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP get_Description(BSTR* text) override
    {
        *text = SysAllocString(L"answered");
        return S_OK;
    }

private:
    LONG references_ = 1;
};

struct CrossCall {
    HRESULT marshalled = E_FAIL;
    HRESULT unmarshalled = E_FAIL;
    HRESULT thread = 0;
    std::wstring file;
};

// Marshals an error object from this (main) apartment to a second one, which
// registers the marshalling classes for itself and calls it from there.
CrossCall CallFromAnotherApartment()
{
    ThreadError* error = new ThreadError;
    IStream* stream = nullptr;
    CrossCall result;
    result.marshalled = CoMarshalInterThreadInterfaceInStream(IID_IBootstrapError, error, &stream);
    error->Release();
    if (FAILED(result.marshalled))
        return result;

    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread caller([&] {
        const com_apartment apartment(COINIT_APARTMENTTHREADED);
        CProxyStubRegistration registration;
        com::ComPtr<IBootstrapError> remote;
        result.unmarshalled = CoGetInterfaceAndReleaseStream(stream, IID_IBootstrapError, remote.PutVoid());
        if (SUCCEEDED(result.unmarshalled)) {
            remote->get_LastError(&result.thread);
            BSTR file = nullptr;
            remote->get_File(&file);
            if (file)
                result.file = file;
            SysFreeString(file);
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

TEST(ProxyStubRegistration, TheTwelveInterfacesInOrder)
{
    const proxy_stub_set& set = LauncherProxyStubs();
    const IID* expected[] = {&IID_IBootstrap,     &IID_IBootstrap2,      &IID_ISuiteExtension, &IID_ISuiteExtension2,
                             &IID_IParcels,       &IID_IParcel,          &IID_IParcel2,        &IID_IFeatures,
                             &IID_IFeature,       &IID_IBootstrapError,  &IID__IBootstrapEvents,
                             &IID__IParcelEvents};
    ASSERT_EQ(set.count, 12u);
    for (size_t i = 0; i < set.count; ++i)
        EXPECT_TRUE(IsEqualGUID(*set.interfaces[i], *expected[i])) << i;
}

TEST(ProxyStubRegistration, InterfacesCrossApartmentsWithoutRegistryEntries)
{
    const com_apartment apartment(COINIT_APARTMENTTHREADED);
    CProxyStubRegistration registration;
    EXPECT_EQ(registration.registered(), 12u);

    const CrossCall call = CallFromAnotherApartment();
    ASSERT_EQ(call.marshalled, S_OK);
    ASSERT_EQ(call.unmarshalled, S_OK);
    EXPECT_EQ(call.thread, static_cast<HRESULT>(GetCurrentThreadId()));
    EXPECT_EQ(call.file, L"C:\\\\file name.msi");

    registration.Revoke();
    EXPECT_EQ(registration.registered(), 0u);
}

TEST(ProxyStubRegistration, UnregisteredInterfaceDoesNotCross)
{
    // Without the registration nothing can marshal the interface.
    const com_apartment apartment(COINIT_APARTMENTTHREADED);
    EXPECT_EQ(CallFromAnotherApartment().marshalled, E_NOINTERFACE);
}

} // namespace
