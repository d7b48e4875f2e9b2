#include "SemicolonList.h"

std::vector<_wstringx> SplitSemicolonList(const _wstringx& text)
{
    std::vector<_wstringx> pieces;
    size_t start = 0;
    while (start < text.length()) {
        const size_t separator = text.find(L';', start);
        if (separator == _wstringx::npos) {
            pieces.push_back(text.substr(start));
            break;
        }
        pieces.push_back(text.substr(start, separator - start));
        start = separator + 1;
    }
    return pieces;
}
