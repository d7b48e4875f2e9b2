#pragma once

// What the launcher asks Windows about itself and about files: version and
// GUID texts, platform and processor, the system UI language.

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// "major<sep>minor<sep>build<sep>revision" of the file's version resource;
// empty when it has none.
_stringx get_file_version_string(const _stringx& path, const _stringx& separator);

// Upper case, without braces.
_stringx guid_to_string(const GUID& guid);
_stringx new_guid_string();

DWORD get_platform_id();
bool nt_platform();
bool nt5_or_later();
bool win9x_platform();

void get_native_system_info(SYSTEM_INFO& info);
bool is_ia64();
bool is_amd64();
bool is_64bit_os();
bool is_wow64();

// Never 0: 0x409 when no source answers.
LANGID get_system_ui_language();

} // namespace kr
