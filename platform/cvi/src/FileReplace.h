// Writes a whole file so that readers see either the old content or the complete new one.
#pragma once

#include <string>
#include <string_view>

namespace cvi {

// Writes the bytes to a temporary file beside the target and moves it over the target.
bool ReplaceFileContents(const std::string &path, std::string_view bytes);

} // namespace cvi
