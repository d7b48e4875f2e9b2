#include "LinePattern.h"

namespace ferrolink {

bool LineMatches(const wxString &line, const wxString &pattern)
{
    const wxString::const_iterator textEnd = line.end();
    const wxString::const_iterator patternEnd = pattern.end();
    wxString::const_iterator text = line.begin();
    wxString::const_iterator at = pattern.begin();
    // Only the last star is ever tried again: an earlier one can already
    // cover whatever a later retry would need.
    bool haveStar = false;
    wxString::const_iterator afterStar;
    wxString::const_iterator retryText;
    while (text != textEnd) {
        if (at != patternEnd && *at == '*') {
            haveStar = true;
            afterStar = ++at;
            retryText = text;
        } else if (at != patternEnd && (*at == '?' || *at == *text)) {
            ++at;
            ++text;
        } else if (haveStar) {
            at = afterStar;
            text = ++retryText;
        } else {
            return false;
        }
    }
    while (at != patternEnd && *at == '*')
        ++at;
    return at == patternEnd;
}

} // namespace ferrolink
