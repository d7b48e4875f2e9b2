/* The marshalling code widl writes for the type library, compiled with the
   declarations of rpcrt4's IUnknown proxies that mingw's rpcproxy.h lacks. */
#define __midl_proxy
#define USE_STUBLESS_PROXY
#define PROXY_DELEGATION
#include <objbase.h>
#include <rpcproxy.h>

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid, void **ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);

#include "TessarelLib_p.c"

static CStdPSFactoryBuffer proxy_stub_factory;
static const ProxyFileInfo *proxy_files[] = {(const ProxyFileInfo *)&TessarelLib_ProxyFileInfo, NULL};

/* The server-side halves of interfaces that delegate to IDispatch release through this factory. */
CSTDSTUBBUFFER2RELEASE(&proxy_stub_factory)

HRESULT TessarelProxyStubClassObject(const IID *iid, void **out)
{
    /* The first marshalled interface names the factory, as a proxy DLL without a class of its own does. */
    return NdrDllGetClassObject(iid, &IID_IUnknown, out, proxy_files, &IID_IBootstrap, &proxy_stub_factory);
}
