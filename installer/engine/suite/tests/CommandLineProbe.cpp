// A 64-bit helper of the 32-bit proxy tests: a 32-bit process cannot read a
// 64-bit one's parameter block (Wine reports no block at all), so this program
// reads it for them. Its argument is an inherited handle of the process; the
// command line goes to standard output as UTF-16.

#include <windows.h>

#include <cwchar>

#include "ProcessParameters.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    const auto process = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(std::wcstoull(argv[1], nullptr, 10)));
    const std::wstring line = proxy_testing::CommandLineFromPeb(process);
    DWORD written = 0;
    return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)),
                     &written, nullptr)
               ? 0
               : 1;
}
