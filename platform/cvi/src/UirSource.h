// Where a user-interface resource comes from: a resource of type "UIRFILETYPE" embedded in the
// program whose name, with ':' read as '_', equals the file name (ignoring case); otherwise the
// file itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cvi {

std::optional<std::string> ReadUirText(std::string_view resourceFile);

} // namespace cvi
