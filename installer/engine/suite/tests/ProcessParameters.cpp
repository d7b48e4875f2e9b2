#include "ProcessParameters.h"

#include <winternl.h>

namespace proxy_testing {

std::wstring CommandLineFromPeb(HANDLE process)
{
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic), &length) < 0)
        return L"";
    constexpr SIZE_T kParametersAt = sizeof(void*) == 8 ? 0x20 : 0x10;
    constexpr SIZE_T kCommandLineAt = sizeof(void*) == 8 ? 0x70 : 0x40;
    BYTE* parameters = nullptr;
    UNICODE_STRING text = {};
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + kParametersAt, &parameters,
                           sizeof(parameters), &read) ||
        !ReadProcessMemory(process, parameters + kCommandLineAt, &text, sizeof(text), &read))
        return L"";
    std::wstring result(text.Length / sizeof(wchar_t), L'\0');
    if (!ReadProcessMemory(process, text.Buffer, result.data(), text.Length, &read))
        return L"";
    return result;
}

} // namespace proxy_testing
