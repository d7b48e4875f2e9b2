#pragma once

// The launcher's text type: UTF-16 kept in BSTR-allocated storage (short texts
// inside the object), with BSTR and narrow copies on demand. Constructing,
// copying and destroying a string never changes the thread's last-error value.

#include <windows.h>
#include <oleauto.h>

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <vector>

#include "kr/char_traits.h"
#include "kr/last_error_keeper.h"

namespace kr {

// split(): drop empty pieces.
constexpr unsigned split_skip_empty = 0x1;

template <class Traits>
class basic_stringx : public virtual last_error_keeper {
public:
    using traits_type = Traits;
    static constexpr size_t npos = static_cast<size_t>(-1);
    static constexpr size_t max_length = 0x7FFFFFFE;

    // Write access for a Windows call that fills a character buffer; the string
    // holds exactly what the call wrote once the buffer object ends.
    class buffer {
    public:
        buffer(basic_stringx& owner, size_t count);
        ~buffer();
        buffer(const buffer&) = delete;
        buffer& operator=(const buffer&) = delete;

        // The string's BSTR, at least count units long, for a wide function.
        wchar_t* wide();
        // A byte buffer for an ANSI function; converted back from CP_ACP at the end.
        char* narrow(size_t bytes);

    private:
        basic_stringx& owner_;
        bool wide_ = false;
        std::unique_ptr<char[]> narrow_;
        size_t narrow_size_ = 0;
    };

    // The string passed as a BSTR* [in, out] argument: once armed, whatever BSTR
    // the callee left in the cache becomes the string's text.
    class bstr_ref {
    public:
        explicit bstr_ref(basic_stringx& owner) noexcept : owner_(owner) {}
        ~bstr_ref();
        bstr_ref(const bstr_ref&) = delete;
        bstr_ref& operator=(const bstr_ref&) = delete;

        BSTR* arm();

    private:
        basic_stringx& owner_;
        bool armed_ = false;
    };

    basic_stringx() noexcept;
    basic_stringx(const wchar_t* text);
    basic_stringx(const wchar_t* text, size_t count);
    basic_stringx(const basic_stringx& other);
    basic_stringx(basic_stringx&& other) noexcept;
    basic_stringx(const basic_stringx& other, size_t position, size_t count = npos);
    basic_stringx(const char* bytes, size_t count, UINT code_page);
    basic_stringx(const char* text, size_t count);
    basic_stringx(const char* text);
    explicit basic_stringx(int number);
    explicit basic_stringx(long number);
    basic_stringx(size_t count, wchar_t ch);
    explicit basic_stringx(const VARIANT& value);
    template <class Other>
    explicit basic_stringx(const basic_stringx<Other>& other)
        : basic_stringx(other.c_str(), other.length()) {}
    ~basic_stringx();

    basic_stringx& operator=(const basic_stringx& other);
    basic_stringx& operator=(basic_stringx&& other) noexcept;
    basic_stringx& operator=(const wchar_t* text);
    basic_stringx& assign(const wchar_t* text, size_t count);
    basic_stringx& assign(const basic_stringx& other, size_t position, size_t count = npos);

    basic_stringx<char_traitsi> to_stringx() const;
    basic_stringx<char_traits_exact> to_wstringx() const;

    // Text access.
    const wchar_t* c_str() const noexcept { return data(); }
    size_t length() const noexcept { return length_; }
    size_t size() const noexcept { return length_; }
    bool empty() const noexcept { return length_ == 0; }
    wchar_t operator[](size_t index) const noexcept { return data()[index]; }
    wchar_t& operator[](size_t index) noexcept { return data()[index]; }
    void clear() { erase(); }

    // Appending.
    basic_stringx& operator+=(const basic_stringx& other) { return append(other); }
    basic_stringx& operator+=(const wchar_t* text) { return append(text); }
    basic_stringx& operator+=(wchar_t ch) { return append(&ch, 1); }
    basic_stringx& append(const basic_stringx& other);
    basic_stringx& append(const basic_stringx& other, size_t position, size_t count = npos);
    basic_stringx& append(const wchar_t* text, size_t count);
    basic_stringx& append(const wchar_t* text);
    basic_stringx& append_fill(size_t count, wchar_t ch);

    // Comparison by the traits.
    int compare(const basic_stringx& other) const noexcept;
    int compare(const wchar_t* text) const noexcept;
    bool operator==(const basic_stringx& other) const noexcept { return compare(other) == 0; }
    bool operator==(const wchar_t* text) const noexcept { return compare(text) == 0; }

    // Searching; nothing found gives npos.
    size_t find(const basic_stringx& text, size_t start = 0) const noexcept;
    size_t find(const wchar_t* text, size_t start = 0) const noexcept;
    size_t find(wchar_t ch, size_t start = 0) const noexcept;
    size_t rfind(const basic_stringx& text, size_t start = npos) const noexcept;
    size_t rfind(const wchar_t* text, size_t start = npos) const noexcept;
    size_t find_first_not_of(const wchar_t* set, size_t start = 0) const noexcept;
    size_t find_last_not_of(const wchar_t* set, size_t start = npos) const noexcept;

    // Editing.
    basic_stringx substr(size_t position = 0, size_t count = npos) const;
    basic_stringx& erase(size_t position = 0, size_t count = npos);
    basic_stringx& replace(size_t position, size_t count, const basic_stringx& text);
    basic_stringx& replace(size_t position, size_t count, const wchar_t* text, size_t text_length);
    bool replace_first(const basic_stringx& search, const basic_stringx& replacement);
    size_t replace_all(const basic_stringx& search, const basic_stringx& replacement);
    basic_stringx& trim(const wchar_t* set);
    bool starts_with(const basic_stringx& text) const noexcept;
    bool ends_with(const basic_stringx& text) const noexcept;
    bool ends_with_char(wchar_t ch) const noexcept;
    bool char_at_equals(size_t index, wchar_t ch) const noexcept;
    basic_stringx before_first(wchar_t ch) const;
    basic_stringx after_first(wchar_t ch) const;
    void split(wchar_t separator, unsigned flags, std::vector<basic_stringx>& pieces) const;
    void split_into(const basic_stringx& separator, unsigned flags,
                    std::vector<basic_stringx>& pieces) const;
    std::vector<basic_stringx> split(const basic_stringx& separator) const;
    basic_stringx& join(const std::vector<basic_stringx>& parts, wchar_t separator);

    // These change the string and return a copy of the result.
    basic_stringx remove_trailing_char(wchar_t ch);
    basic_stringx remove_leading_char(wchar_t ch);
    basic_stringx ensure_trailing_char(wchar_t ch);
    basic_stringx ensure_leading_char(wchar_t ch);
    basic_stringx add_trailing_backslash() { return ensure_trailing_char(L'\\'); }
    basic_stringx remove_trailing_backslash() { return remove_trailing_char(L'\\'); }
    basic_stringx quote(bool only_if_space = false, bool escaped = false);
    basic_stringx unquote();

    // Paths and addresses.
    bool is_unc() const noexcept;
    bool is_absolute_path() const noexcept;
    basic_stringx path_root(bool with_trailing_backslash = false) const;
    basic_stringx path_folder(bool keep_trailing_backslash = false, bool remove_root = false) const;
    basic_stringx path_combine(const basic_stringx& part) const;
    basic_stringx& append_with_separator(const basic_stringx& part, wchar_t separator);
    // The extension with its dot, when the last dot lies in the file name; else empty.
    basic_stringx path_extension() const;
    basic_stringx path_file_name(bool without_extension = false) const;
    // Replaces the extension (given without its dot; empty removes it).
    basic_stringx change_extension(const basic_stringx& extension);
    // Appends a part with exactly one backslash between.
    basic_stringx& append_path(const basic_stringx& part);
    basic_stringx& append_path(const wchar_t* part);
    bool is_drive_path() const noexcept;
    bool is_drive_root() const noexcept;
    basic_stringx& to_upper();
    bool is_http_url() const noexcept;
    bool is_https_url() const noexcept;
    bool is_ftp_url() const noexcept;
    bool is_url() const noexcept;

    // Whole-text numbers: the value is always stored; false when the text is
    // not exactly one number in range.
    bool to_ulong(unsigned long& value, int radix = 10) const;
    bool to_long(long& value, int radix = 10) const;
    bool to_int64(long long& value, int radix = 10) const;

    // printf with the Windows run-time's rules; replaces the text.
    basic_stringx& format(const wchar_t* format_text, ...);
    basic_stringx& vformat(const wchar_t* format_text, va_list args);

    // COM and ANSI interplay.
    BSTR* c_bstr();
    HRESULT copy_to_bstr(BSTR* out) const;
    bstr_ref get_bstr_ref() noexcept { return bstr_ref(*this); }
    const char* c_narrow();
    int to_multibyte(char* bytes, int size, UINT code_page) const;
    int assign_multibyte(const char* bytes, int count, UINT code_page);
    void free_caches() noexcept;

private:
    static constexpr size_t inline_capacity = 7;

    wchar_t* data() noexcept { return capacity_ > inline_capacity ? heap_ : inline_; }
    const wchar_t* data() const noexcept { return capacity_ > inline_capacity ? heap_ : inline_; }
    bool holds(const wchar_t* text) const noexcept;
    void replace_range(size_t position, size_t count, const wchar_t* text, size_t text_length);
    wchar_t* allocate_for(size_t length, size_t& capacity) const;
    void release_storage() noexcept;
    void take_from(basic_stringx& other) noexcept;
    void assign_from_bstr(BSTR value);
    void free_bstr_cache() noexcept;

    union {
        wchar_t inline_[inline_capacity + 1];
        wchar_t* heap_;
    };
    size_t length_ = 0;
    size_t capacity_ = inline_capacity;
    std::unique_ptr<char[]> narrow_;
    size_t narrow_capacity_ = 0;
    BSTR bstr_ = nullptr;
};

template <class T>
basic_stringx<T> operator+(const basic_stringx<T>& a, const basic_stringx<T>& b)
{
    basic_stringx<T> result(a);
    result.append(b);
    return result;
}

template <class T>
basic_stringx<T> operator+(const basic_stringx<T>& a, const wchar_t* b)
{
    basic_stringx<T> result(a);
    result.append(b);
    return result;
}

template <class T>
basic_stringx<T> operator+(const wchar_t* a, const basic_stringx<T>& b)
{
    basic_stringx<T> result(a);
    result.append(b);
    return result;
}

template <class T>
basic_stringx<T> operator+(const basic_stringx<T>& a, wchar_t b)
{
    basic_stringx<T> result(a);
    result.append(&b, 1);
    return result;
}

extern template class basic_stringx<char_traitsi>;
extern template class basic_stringx<char_traits_exact>;

} // namespace kr

using _stringx = kr::basic_stringx<kr::char_traitsi>;
using _wstringx = kr::basic_stringx<kr::char_traits_exact>;

namespace kr {

using stringx_vector = std::vector<_stringx>;

// Ordering of maps keyed by _stringx.
struct less_nocase {
    bool operator()(const _stringx& a, const _stringx& b) const noexcept;
};

template <class S>
S copy_string(const S& value)
{
    return value;
}

} // namespace kr
