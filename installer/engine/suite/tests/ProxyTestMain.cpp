// The proxy tests' program. Started by an engine under test with
// "-embedded:" it is that engine's proxy, as the launcher would be; otherwise
// it runs the tests.

#include <gtest/gtest.h>

#include <cwchar>

#include "command_line.h"
#include "proxy_mode.h"

int main(int argc, char** argv)
{
    const wchar_t* text = GetCommandLineW();
    if (std::wcsstr(text, L"-embedded:")) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        command_line line(text);
        const DWORD status = RunProxyMode(line);
        CoUninitialize();
        return static_cast<int>(status);
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
