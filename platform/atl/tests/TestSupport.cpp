#include "TestSupport.h"

TestServer::TestServer() : module_(LoadLibraryW(L"com_layer_testserver.dll")) {}

TestServer::~TestServer()
{
    if (module_) {
        FreeLibrary(module_);
    }
}

HRESULT TestServer::GetClassObject(REFCLSID clsid, REFIID iid, void **out) const
{
    auto get = reinterpret_cast<HRESULT(WINAPI *)(REFCLSID, REFIID, void **)>(
        reinterpret_cast<void *>(GetProcAddress(module_, "DllGetClassObject")));
    return get ? get(clsid, iid, out) : E_FAIL;
}

HRESULT TestServer::CanUnloadNow() const
{
    auto can = reinterpret_cast<HRESULT(WINAPI *)()>(
        reinterpret_cast<void *>(GetProcAddress(module_, "DllCanUnloadNow")));
    return can ? can() : E_FAIL;
}

HRESULT TestServer::Register() const
{
    auto reg = reinterpret_cast<HRESULT(WINAPI *)()>(
        reinterpret_cast<void *>(GetProcAddress(module_, "DllRegisterServer")));
    return reg ? reg() : E_FAIL;
}

HRESULT TestServer::Unregister() const
{
    auto unreg = reinterpret_cast<HRESULT(WINAPI *)()>(
        reinterpret_cast<void *>(GetProcAddress(module_, "DllUnregisterServer")));
    return unreg ? unreg() : E_FAIL;
}

com::ComPtr<ICounter> TestServer::NewCounter() const
{
    com::ComPtr<IClassFactory> factory;
    com::ComPtr<ICounter> counter;
    if (SUCCEEDED(GetClassObject(CLSID_Counter, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, IID_ICounter, counter.PutVoid());
    }
    return counter;
}

ULONG ObservedRefCount(IUnknown *object)
{
    object->AddRef();
    return object->Release();
}

STDMETHODIMP RecordingSink::QueryInterface(REFIID iid, void **out)
{
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, eventsIid_)) {
        *out = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP RecordingSink::GetTypeInfoCount(UINT *count)
{
    *count = 0;
    return S_OK;
}

STDMETHODIMP RecordingSink::GetTypeInfo(UINT, LCID, ITypeInfo **)
{
    return DISP_E_BADINDEX;
}

STDMETHODIMP RecordingSink::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *)
{
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP RecordingSink::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS *params, VARIANT *,
                                   EXCEPINFO *, UINT *)
{
    EXPECT_TRUE(IsEqualIID(iid, IID_NULL));
    EXPECT_EQ(flags, DISPATCH_METHOD);
    RecordedCall call;
    call.id = id;
    if (params->cArgs > 0) {
        const VARIANT &first = params->rgvarg[params->cArgs - 1];
        if (first.vt == VT_DISPATCH && first.pdispVal) {
            call.sourceRefsDuringCall = ObservedRefCount(first.pdispVal);
        }
    }
    for (UINT i = 0; i < params->cArgs; ++i) {
        com::Variant copy;
        com::Variant::CopyFrom(params->rgvarg[i], copy);
        call.arguments.push_back(std::move(copy));
    }
    {
        com::ScopedLock lock(lock_);
        calls_.push_back(call);
    }
    if (onCall) {
        onCall(*this, call);
    }
    return S_OK;
}

std::vector<RecordedCall> RecordingSink::Calls()
{
    com::ScopedLock lock(lock_);
    return calls_;
}
