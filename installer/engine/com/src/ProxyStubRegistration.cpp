#include "automation/ProxyStubRegistration.h"

#include "com/ComPtr.h"

CProxyStubRegistration::CProxyStubRegistration(const proxy_stub_set& set) : set_(set)
{
    RegisterAll();
}

CProxyStubRegistration::~CProxyStubRegistration()
{
    Revoke();
}

HRESULT CProxyStubRegistration::RegisterAll()
{
    for (size_t i = 0; i < set_.count; ++i)
        Register(*set_.interfaces[i], *set_.interfaces[i]);
    return S_OK;
}

HRESULT CProxyStubRegistration::Register(REFIID iid, REFCLSID clsid)
{
    com::ComPtr<IUnknown> factory;
    HRESULT result = set_.class_object(&clsid, factory.PutVoid());
    if (FAILED(result))
        return result;
    DWORD cookie = 0;
    result = CoRegisterClassObject(clsid, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(result))
        return result;
    cookies_.push_back(cookie);
    return CoRegisterPSClsid(iid, clsid);
}

void CProxyStubRegistration::Revoke()
{
    for (DWORD cookie : cookies_)
        CoRevokeClassObject(cookie);
    cookies_.clear();
}
