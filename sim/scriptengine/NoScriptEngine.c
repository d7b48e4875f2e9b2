/* A script-engine DLL of another version: it lacks "GetScriptEngine". */
#include <windows.h>

__declspec(dllexport) HRESULT __stdcall GetScriptEngineVersion(DWORD* version)
{
    if (!version)
        return E_POINTER;
    *version = 1;
    return S_OK;
}
