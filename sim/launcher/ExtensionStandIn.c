/* An extension DLL as a suite ships one: its entry takes the extension
   object of the proxy and returns a result the caller can recognise. */

#include <windows.h>
#include <oaidl.h>

HRESULT __stdcall StandInEntry(IDispatch* extension)
{
    (void)extension;
    return (HRESULT)0x00000BC2;
}
