#include "kr/system_info.h"

#include <rpc.h>

#include <cwchar>

#include "kr/holders.h"
#include "kr/kernel32_forms.h"
#include "kr/version_info.h"

namespace kr {

_stringx get_file_version_string(const _stringx& path, const _stringx& separator)
{
    version_info info;
    if (!info.load(path))
        return _stringx();
    _stringx text;
    const wchar_t* sep = separator.c_str();
    text.format(L"%d%s%d%s%d%s%d", HIWORD(info.dwFileVersionMS), sep, LOWORD(info.dwFileVersionMS), sep,
                HIWORD(info.dwFileVersionLS), sep, LOWORD(info.dwFileVersionLS));
    return text;
}

_stringx guid_to_string(const GUID& guid)
{
    RPC_WSTR text = nullptr;
    GUID copy = guid;
    if (UuidToStringW(&copy, &text) != RPC_S_OK || !text)
        return _stringx();
    _stringx result(reinterpret_cast<const wchar_t*>(text));
    RpcStringFreeW(&text);
    return result.to_upper();
}

_stringx new_guid_string()
{
    UUID guid = {};
    UuidCreate(&guid);
    return guid_to_string(guid);
}

namespace {

bool version_of_system(OSVERSIONINFOW& info)
{
    info = OSVERSIONINFOW{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExW(&info) != FALSE;
#pragma GCC diagnostic pop
}

} // namespace

DWORD get_platform_id()
{
    OSVERSIONINFOW info;
    version_of_system(info);
    return info.dwPlatformId;
}

bool nt_platform()
{
    return get_platform_id() == VER_PLATFORM_WIN32_NT;
}

bool nt5_or_later()
{
    OSVERSIONINFOW info;
    if (!version_of_system(info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion > 4;
}

bool win9x_platform()
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersion() > 0x80000000u;
#pragma GCC diagnostic pop
}

void get_native_system_info(SYSTEM_INFO& info)
{
    using native_fn = void(WINAPI*)(LPSYSTEM_INFO);
    info = SYSTEM_INFO{};
    if (const auto native = kernel32_proc<native_fn>("GetNativeSystemInfo"))
        native(&info);
    else
        GetSystemInfo(&info);
}

bool is_ia64()
{
    SYSTEM_INFO info;
    get_native_system_info(info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

bool is_amd64()
{
    SYSTEM_INFO info;
    get_native_system_info(info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

bool is_64bit_os()
{
    return is_ia64() || is_amd64();
}

bool is_wow64()
{
    using is_wow64_fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto query = kernel32_proc<is_wow64_fn>("IsWow64Process");
    BOOL wow64 = FALSE;
    return query && query(GetCurrentProcess(), &wow64) && wow64;
}

namespace {

// A hexadecimal locale value of at most 10 bytes with its terminator.
bool read_locale_value(const wchar_t* key_path, const wchar_t* name, LANGID& language)
{
    const registry_key_holder key(HKEY_USERS, key_path, KEY_ALL_ACCESS);
    if (!key.get())
        return false;
    wchar_t buffer[5] = {};
    DWORD size = sizeof(buffer);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[4] = 0;
    language = static_cast<LANGID>(wcstoul(buffer, nullptr, 16));
    return true;
}

} // namespace

LANGID get_system_ui_language()
{
    using ui_language_fn = LANGID(WINAPI*)();
    if (const auto system_ui = kernel32_proc<ui_language_fn>("GetSystemDefaultUILanguage"))
        return system_ui();
    LANGID language = 0;
    if (read_locale_value(L".Default\\Control Panel\\desktop\\ResourceLocale", nullptr, language) ||
        read_locale_value(L".DEFAULT\\Control Panel\\International", L"Locale", language)) {
        if (language != 0)
            return language;
    }
    return 0x409;
}

} // namespace kr
