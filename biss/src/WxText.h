// Crossings between the library's narrow texts and wxWidgets' wide strings.
#pragma once

#include <string>

#include <wx/string.h>

namespace ferrolink {

// One byte per character, as the files' single-byte texts hold them;
// characters beyond 0xFF cannot be held and become '?'.
std::string NarrowText(const wxString &text);
// A caller's narrow file name, read in the ANSI code page as the file API does.
wxString WideFileName(const char *fileName);

} // namespace ferrolink
