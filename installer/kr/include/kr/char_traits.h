#pragma once

#include <cstddef>

namespace kr {

// Comparison rules of the case-insensitive strings: wcsnicmp over the shorter
// text, the shorter one first when that part is equal.
struct char_traitsi {
    static int compare(const wchar_t* a, size_t a_length, const wchar_t* b, size_t b_length) noexcept;
    static bool same_char(wchar_t a, wchar_t b) noexcept;
    static bool same_text(const wchar_t* a, const wchar_t* b, size_t count) noexcept;
};

// Exact comparison: UTF-16 code units as unsigned numbers.
struct char_traits_exact {
    static int compare(const wchar_t* a, size_t a_length, const wchar_t* b, size_t b_length) noexcept;
    static bool same_char(wchar_t a, wchar_t b) noexcept;
    static bool same_text(const wchar_t* a, const wchar_t* b, size_t count) noexcept;
};

} // namespace kr
