// Label texts in the configuration file. Its reader takes one element per
// line and cuts at comments and closing tags, so a label is written with the
// characters that would break that (markup, line ends, control and non-ASCII
// bytes) as XML character references, and read back exactly.
#pragma once

#include <string>

namespace ferrolink {

std::string EscapeLabelText(const std::string &text);
// Undoes EscapeLabelText; text without references (older files) stays as it is.
std::string UnescapeLabelText(const std::string &text);

} // namespace ferrolink
