#pragma once

// One-call registry helpers: each opens a key, does one thing, closes the key
// and stores the Windows result of its key operation as the library state's
// last result (kr/library_state.h).

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// Creates or opens the key with KEY_READ | KEY_WRITE.
bool reg_create_key(HKEY root, const _stringx& key);
bool reg_key_exists(HKEY root, const _stringx& key);
bool reg_delete_value(HKEY root, const _stringx& key, const _stringx& name);
// Anything but a REG_DWORD is ERROR_INVALID_DATA; any failure gives the default.
DWORD reg_read_dword(HKEY root, const _stringx& key, const _stringx& name, DWORD default_value,
                     REGSAM access = KEY_READ);
// REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ with its terminator; any failure gives the default.
_stringx reg_read_string(HKEY root, const _stringx& key, const _stringx& name, const _stringx& default_value,
                         REGSAM access = KEY_READ);
// The writers need an existing key.
bool reg_write_dword(HKEY root, const _stringx& key, const _stringx& name, DWORD value);
bool reg_write_string(HKEY root, const _stringx& key, const _stringx& name, const _stringx& text);
// Appends every value name; true when the key opened.
bool reg_enum_value_names(HKEY root, const _stringx& key, REGSAM extra_access, stringx_vector& names);

} // namespace kr
