// Wildcard patterns over whole lines, as the XML line readers test them:
// '*' any text, '?' any one character, everything else itself (case-sensitive).
#pragma once

#include <wx/string.h>

namespace ferrolink {

// True when the whole line matches. Time grows with the line's length times
// the pattern's, never with the square of the line, so a line of hundreds of
// kilobytes costs no more than reading it.
bool LineMatches(const wxString &line, const wxString &pattern);

} // namespace ferrolink
