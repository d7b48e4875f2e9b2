// Veltrun64.exe, the launcher's 64-bit companion: the launcher's proxy mode
// alone, serving the engine's requests that need a 64-bit process.

#include <windows.h>

#include "com_apartment.h"
#include "command_line.h"
#include "proxy_mode.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR text, int)
{
    const com_apartment apartment(COINIT_APARTMENTTHREADED);
    command_line line(text ? text : L"");
    line.find_switch(L"KR_temp", nullptr, true, true);
    if (!line.find_switch(L"embedded:", nullptr, false, false))
        return ERROR_INVALID_PARAMETER;
    return static_cast<int>(RunProxyMode(line));
}
