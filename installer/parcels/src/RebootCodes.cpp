#include "parcels/RebootCodes.h"

std::vector<DWORD> ParseRebootCodes(const _stringx& text)
{
    std::vector<DWORD> codes;
    kr::stringx_vector pieces;
    text.split(L',', kr::split_skip_empty, pieces);
    for (const _stringx& piece : pieces) {
        size_t at = 0;
        while (at < piece.length() && (piece[at] == L' ' || piece[at] == L'\t'))
            ++at;
        if (at == piece.length())
            continue;
        unsigned long long value = 0;
        bool whole = true;
        for (; at < piece.length(); ++at) {
            const wchar_t ch = piece[at];
            if (ch < L'0' || ch > L'9') {
                whole = false;
                break;
            }
            value = value * 10 + static_cast<unsigned>(ch - L'0');
            if (value > 0xFFFFFFFFull) {
                whole = false;
                break;
            }
        }
        if (whole)
            codes.push_back(static_cast<DWORD>(value));
    }
    return codes;
}
