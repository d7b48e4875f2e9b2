#include "conditions/GuidString.h"

#include <cwchar>

namespace {

constexpr size_t kGuidLength = 36;

bool IsHexDigit(wchar_t ch)
{
    return ch != 0 && std::wcschr(L"abcdefABCDEF1234567890", ch) != nullptr;
}

bool HasBraces(const wchar_t* text, size_t length)
{
    return length >= 2 && text[0] == L'{' && text[length - 1] == L'}';
}

bool IsGuidText(const wchar_t* text, size_t length)
{
    if (HasBraces(text, length)) {
        ++text;
        length -= 2;
    }
    if (length != kGuidLength)
        return false;
    for (size_t i = 0; i < length; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != L'-' : !IsHexDigit(text[i]))
            return false;
    }
    return true;
}

} // namespace

bool IsValidGuidString(const _stringx& text)
{
    return IsGuidText(text.c_str(), text.length());
}

bool IsValidGuidString(const _wstringx& text)
{
    return IsGuidText(text.c_str(), text.length());
}

_stringx BracedGuidString(const _stringx& code)
{
    if (HasBraces(code.c_str(), code.length()))
        return code;
    _stringx braced(L"{");
    braced += code;
    braced += L"}";
    return braced;
}
