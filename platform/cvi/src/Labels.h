// Labels carry "__" before the letter of their access key.
#pragma once

#include <string>
#include <string_view>

namespace cvi {

// Without the marks: "__File" -> "File".
std::string PlainLabel(std::string_view label);
// As Windows menus want it: "__File" -> "&File", a plain '&' doubled.
std::string AccessKeyLabel(std::string_view label);

} // namespace cvi
