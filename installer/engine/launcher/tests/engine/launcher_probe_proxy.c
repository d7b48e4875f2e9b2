/* The probe interfaces' proxy/stub code. The mingw headers declare the
   IUnknown proxy entries (exported by rpcrt4) for C++ only. */
#include <objbase.h>

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid, void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);

#include "launcher_probe_p.c"
