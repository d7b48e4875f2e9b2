// A control that registers itself but has no unregistration entry; its type
// library is a resource, so unregistration falls back to the type library.

#include <windows.h>

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return S_OK;
}
