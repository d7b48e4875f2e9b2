#include "conditions/Version.h"

#include <vector>

namespace {

// Parses the first count parts of a dotted text (empty pieces kept, so 1..3
// fails) and checks each against its limit. Nothing is written on failure.
HRESULT ParseParts(const _stringx& text, const unsigned long* limits, size_t count, unsigned long* parts)
{
    if (text.empty())
        return DISP_E_TYPEMISMATCH;
    const std::vector<_stringx> pieces = text.split(_stringx(L"."));
    unsigned long values[4] = {};
    for (size_t i = 0; i < count && i < pieces.size(); ++i) {
        if (!pieces[i].to_ulong(values[i]))
            return DISP_E_TYPEMISMATCH;
    }
    for (size_t i = 0; i < count; ++i) {
        if (values[i] > limits[i])
            return DISP_E_OVERFLOW;
    }
    for (size_t i = 0; i < count; ++i)
        parts[i] = values[i];
    return S_OK;
}

} // namespace

HRESULT ParseVersion3(const _stringx& text, DWORD* version)
{
    if (!version)
        return E_POINTER;
    static const unsigned long limits[3] = {0xFF, 0xFF, 0xFFFF};
    unsigned long parts[3] = {};
    const HRESULT hr = ParseParts(text, limits, 3, parts);
    if (FAILED(hr))
        return hr;
    *version = parts[0] << 24 | parts[1] << 16 | parts[2];
    return S_OK;
}

HRESULT ParseVersion4(const _stringx& text, DWORD* high, DWORD* low)
{
    if (!high || !low)
        return E_POINTER;
    static const unsigned long limits[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    unsigned long parts[4] = {};
    const HRESULT hr = ParseParts(text, limits, 4, parts);
    if (FAILED(hr))
        return hr;
    *high = parts[0] << 16 | parts[1];
    *low = parts[2] << 16 | parts[3];
    return S_OK;
}
