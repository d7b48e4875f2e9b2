#include "automation/ProxyStubs.h"

#include "automation/Interfaces.h"

#include "ProxyStubClassObject.h"

#include <com/ComPtr.h>

#include <new>

namespace {

constexpr const IID* kMarshalled[] = {
    &IID_IBootstrap,     &IID_IBootstrap2,    &IID_IParcels,        &IID_IParcel,
    &IID_IParcel2,       &IID_IFeatures,      &IID_IFeature,        &IID__IBootstrapEvents,
    &IID__IParcelEvents, &IID_IBootstrapError, &IID_ISuiteExtension, &IID_ISuiteExtension2,
};

} // namespace

std::span<const IID* const> MarshalledInterfaces() noexcept
{
    return kMarshalled;
}

HRESULT CProxyStubRegistration::Register()
{
    Revoke();
    try {
        cookies_.reserve(std::size(kMarshalled));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (const IID* iid : kMarshalled) {
        // The interface identifier serves as the class identifier of its marshaller.
        com::ComPtr<IUnknown> factory;
        HRESULT hr = TessarelProxyStubClassObject(iid, factory.PutVoid());
        DWORD cookie = 0;
        if (SUCCEEDED(hr))
            hr = CoRegisterClassObject(*iid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
        if (FAILED(hr)) {
            Revoke();
            return hr;
        }
        cookies_.push_back(cookie);
        hr = CoRegisterPSClsid(*iid, *iid);
        if (FAILED(hr)) {
            Revoke();
            return hr;
        }
    }
    return S_OK;
}

void CProxyStubRegistration::Revoke() noexcept
{
    for (DWORD cookie : cookies_)
        CoRevokeClassObject(cookie);
    cookies_.clear();
}
