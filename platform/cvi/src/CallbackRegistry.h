// Finds the program's callback for a name used in a user-interface resource.
#pragma once

#include <string_view>

#include "cvi/UirCallbacks.h"

namespace cvi {

// The binding registered under the resource file name (compared without folder and case), or
// null when the file has no table or the table lacks the name.
const UirCallbackBinding *FindUirCallback(std::string_view resourceFile, std::string_view name);

// The file name without its folder.
std::string_view ResourceBaseName(std::string_view resourceFile);

} // namespace cvi
