#pragma once

// The proxy/stub class object of a merged proxy file list, from C: the NDR
// factory types of rpcproxy.h exist for C code only.

#include <windows.h>
#include <unknwn.h>

#ifdef __cplusplus
extern "C" {
#endif

struct tagProxyFileInfo;

// The class object that serves clsid (one of the list's interface ids used as
// a class id); one factory buffer serves the process.
HRESULT ProxyStubClassObject(REFCLSID clsid, const struct tagProxyFileInfo** files, IUnknown** object);

#ifdef __cplusplus
}
#endif
