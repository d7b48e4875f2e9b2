#pragma once

// Writes a whole file so that a failure half-way never leaves the target
// partly written or empty: the bytes go to a new file beside the target,
// which then takes the target's place.

#include <windows.h>

#include <string_view>

#include "kr/stringx.h"

namespace kr {

// 0, or the Windows error of creating the new file or of putting it in place;
// the target is then as it was. A failed write throws file_exception with the
// target's path, and the target is untouched as well. The target's folder
// must exist.
DWORD replace_file_contents(const _stringx& path, std::string_view bytes);

} // namespace kr
