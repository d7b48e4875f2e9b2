#include "kr/char_traits.h"

#include <wchar.h>
#include <wctype.h>

namespace kr {

int char_traitsi::compare(const wchar_t* a, size_t a_length, const wchar_t* b, size_t b_length) noexcept
{
    const size_t shorter = a_length < b_length ? a_length : b_length;
    if (shorter != 0) {
        const int result = _wcsnicmp(a, b, shorter);
        if (result != 0)
            return result;
    }
    if (a_length == b_length)
        return 0;
    return a_length < b_length ? -1 : 1;
}

bool char_traitsi::same_char(wchar_t a, wchar_t b) noexcept
{
    return a == b || towupper(a) == towupper(b);
}

bool char_traitsi::same_text(const wchar_t* a, const wchar_t* b, size_t count) noexcept
{
    return count == 0 || _wcsnicmp(a, b, count) == 0;
}

int char_traits_exact::compare(const wchar_t* a, size_t a_length, const wchar_t* b, size_t b_length) noexcept
{
    const size_t shorter = a_length < b_length ? a_length : b_length;
    for (size_t i = 0; i < shorter; ++i) {
        const auto ua = static_cast<unsigned short>(a[i]);
        const auto ub = static_cast<unsigned short>(b[i]);
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
    if (a_length == b_length)
        return 0;
    return a_length < b_length ? -1 : 1;
}

bool char_traits_exact::same_char(wchar_t a, wchar_t b) noexcept
{
    return a == b;
}

bool char_traits_exact::same_text(const wchar_t* a, const wchar_t* b, size_t count) noexcept
{
    return count == 0 || wmemcmp(a, b, count) == 0;
}

} // namespace kr
