#include "kr/registry.h"

#include <memory>

#include "kr/holders.h"
#include "kr/library_state.h"

namespace kr {

namespace {

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;
constexpr DWORD kMaxValueName = 261;

bool record(LONG result)
{
    set_last_result(static_cast<DWORD>(result));
    return result == ERROR_SUCCESS;
}

} // namespace

bool reg_create_key(HKEY root, const _stringx& key)
{
    HKEY created = nullptr;
    const LONG result = RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kReadWrite, nullptr,
                                        &created, nullptr);
    const registry_key_holder holder(result == ERROR_SUCCESS ? created : nullptr);
    return record(result);
}

bool reg_key_exists(HKEY root, const _stringx& key)
{
    const registry_key_holder opened(root, key.c_str(), KEY_READ);
    return record(opened.result());
}

bool reg_delete_value(HKEY root, const _stringx& key, const _stringx& name)
{
    const registry_key_holder opened(root, key.c_str(), kReadWrite);
    if (!opened.get())
        return record(opened.result());
    return record(RegDeleteValueW(opened.get(), name.c_str()));
}

DWORD reg_read_dword(HKEY root, const _stringx& key, const _stringx& name, DWORD default_value, REGSAM access)
{
    const registry_key_holder opened(root, key.c_str(), access);
    if (!opened.get()) {
        record(opened.result());
        return default_value;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG result = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (result == ERROR_MORE_DATA || (result == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof(value))))
        result = ERROR_INVALID_DATA;
    return record(result) ? value : default_value;
}

_stringx reg_read_string(HKEY root, const _stringx& key, const _stringx& name, const _stringx& default_value,
                         REGSAM access)
{
    const registry_key_holder opened(root, key.c_str(), access);
    if (!opened.get()) {
        record(opened.result());
        return default_value;
    }
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) {
        record(result);
        return default_value;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        record(ERROR_INVALID_DATA);
        return default_value;
    }
    const size_t units = size / sizeof(wchar_t);
    std::unique_ptr<wchar_t[]> buffer(new wchar_t[units + 1]());
    result = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.get()),
                              &size);
    if (result != ERROR_SUCCESS) {
        record(result);
        return default_value;
    }
    // The value must carry its own terminator (two for a multi-string).
    const size_t read_units = size / sizeof(wchar_t);
    const bool multi = type == REG_MULTI_SZ;
    const bool terminated = (size % sizeof(wchar_t)) == 0 &&
                            (multi ? read_units >= 2 && buffer[read_units - 1] == 0 && buffer[read_units - 2] == 0
                                   : read_units >= 1 && buffer[read_units - 1] == 0);
    if (!terminated) {
        record(ERROR_INVALID_DATA);
        return default_value;
    }
    record(ERROR_SUCCESS);
    return _stringx(buffer.get());
}

bool reg_write_dword(HKEY root, const _stringx& key, const _stringx& name, DWORD value)
{
    const registry_key_holder opened(root, key.c_str(), kReadWrite);
    if (!opened.get())
        return record(opened.result());
    return record(RegSetValueExW(opened.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof(value)));
}

bool reg_write_string(HKEY root, const _stringx& key, const _stringx& name, const _stringx& text)
{
    const registry_key_holder opened(root, key.c_str(), kReadWrite);
    if (!opened.get())
        return record(opened.result());
    const DWORD size = static_cast<DWORD>((text.length() + 1) * sizeof(wchar_t));
    return record(
        RegSetValueExW(opened.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size));
}

bool reg_enum_value_names(HKEY root, const _stringx& key, REGSAM extra_access, stringx_vector& names)
{
    const registry_key_holder opened(root, key.c_str(), KEY_READ | extra_access);
    if (!record(opened.result()))
        return false;
    for (DWORD index = 0;; ++index) {
        wchar_t name[kMaxValueName];
        DWORD length = kMaxValueName;
        if (RegEnumValueW(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return true;
}

} // namespace kr
