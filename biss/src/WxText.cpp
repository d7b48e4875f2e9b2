#include "WxText.h"

#include <windows.h>

#include <vector>

namespace ferrolink {

std::string NarrowText(const wxString &text)
{
    std::string narrow;
    narrow.reserve(text.length());
    for (const wxUniChar c : text) {
        const wxUint32 code = c.GetValue();
        narrow += code <= 0xFF ? static_cast<char>(code) : '?';
    }
    return narrow;
}

wxString WideFileName(const char *fileName)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, fileName, -1, nullptr, 0);
    if (length <= 0)
        return wxString();
    std::vector<wchar_t> wide(static_cast<size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide.data(), length);
    return wxString(wide.data());
}

} // namespace ferrolink
