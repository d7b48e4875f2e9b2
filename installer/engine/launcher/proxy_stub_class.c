#include "proxy_stub_class.h"

/* The dual interfaces delegate their IDispatch part to the system stub. */
#define PROXY_DELEGATION
#include <rpcproxy.h>

static CStdPSFactoryBuffer factory_buffer;

/* Stubs made from the list release themselves through the same factory. */
CSTDSTUBBUFFERRELEASE(&factory_buffer)
CSTDSTUBBUFFER2RELEASE(&factory_buffer)

HRESULT ProxyStubClassObject(REFCLSID clsid, const struct tagProxyFileInfo** files, IUnknown** object)
{
    return NdrDllGetClassObject(clsid, &IID_IUnknown, (void**)object, (const ProxyFileInfo**)files, clsid,
                                &factory_buffer);
}
