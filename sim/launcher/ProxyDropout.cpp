// A proxy that says it is ready and ends before it opens the engine's pipe:
// it sets the start event "KR_ProxyWaiter_" + the id of its "-embedded:"
// argument and exits.

#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::wcsncmp(argv[i], L"-embedded:", 10) != 0)
            continue;
        const std::wstring name = std::wstring(L"KR_ProxyWaiter_") + (argv[i] + 10);
        if (HANDLE started = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
            SetEvent(started);
            CloseHandle(started);
            return 0;
        }
    }
    return 1;
}
