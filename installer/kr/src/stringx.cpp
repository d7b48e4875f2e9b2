#include "kr/stringx.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <wchar.h>

namespace kr {

namespace {

[[noreturn]] void throw_too_long()
{
    throw std::length_error("string too long");
}

[[noreturn]] void throw_bad_position()
{
    throw std::out_of_range("invalid string position");
}

size_t text_length(const wchar_t* text) noexcept
{
    return text ? wcslen(text) : 0;
}

// BSTRs handed back by COM may hold a NUL before their stated end.
size_t bstr_text_length(BSTR value) noexcept
{
    return value ? wcsnlen(value, SysStringLen(value)) : 0;
}

bool is_utf16_code_page(UINT code_page) noexcept
{
    return code_page == 1200 || code_page == 1201;
}

void swap_byte_pairs(char* bytes, size_t count) noexcept
{
    for (size_t i = 0; i + 1 < count; i += 2) {
        const char first = bytes[i];
        bytes[i] = bytes[i + 1];
        bytes[i + 1] = first;
    }
}

} // namespace

// ---- construction and destruction ---------------------------------------

template <class T>
basic_stringx<T>::basic_stringx() noexcept
{
    inline_[0] = L'\0';
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const wchar_t* text)
{
    inline_[0] = L'\0';
    replace_range(0, 0, text, text_length(text));
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const wchar_t* text, size_t count)
{
    inline_[0] = L'\0';
    if (text)
        replace_range(0, 0, text, count);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const basic_stringx& other) : last_error_keeper()
{
    inline_[0] = L'\0';
    replace_range(0, 0, other.data(), other.length_);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(basic_stringx&& other) noexcept : last_error_keeper()
{
    inline_[0] = L'\0';
    take_from(other);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const basic_stringx& other, size_t position, size_t count)
{
    inline_[0] = L'\0';
    assign(other, position, count);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const char* bytes, size_t count, UINT code_page)
{
    inline_[0] = L'\0';
    assign_multibyte(bytes, count == npos ? -1 : static_cast<int>(count), code_page);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const char* text, size_t count)
{
    inline_[0] = L'\0';
    assign_multibyte(text, count == npos ? -1 : static_cast<int>(count), CP_ACP);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const char* text)
{
    inline_[0] = L'\0';
    assign_multibyte(text, -1, CP_ACP);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(int number)
{
    inline_[0] = L'\0';
    wchar_t digits[16] = {};
    _itow_s(number, digits, 16, 10);
    replace_range(0, 0, digits, wcslen(digits));
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(long number)
{
    inline_[0] = L'\0';
    wchar_t digits[16] = {};
    _itow_s(static_cast<int>(number), digits, 16, 10);
    replace_range(0, 0, digits, wcslen(digits));
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(size_t count, wchar_t ch)
{
    inline_[0] = L'\0';
    append_fill(count, ch);
    restore();
}

template <class T>
basic_stringx<T>::basic_stringx(const VARIANT& value)
{
    inline_[0] = L'\0';
    if (V_VT(&value) == VT_BSTR) {
        assign_from_bstr(V_BSTR(&value));
    } else {
        VARIANT converted;
        VariantInit(&converted);
        if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR)))
            assign_from_bstr(V_BSTR(&converted));
        VariantClear(&converted);
    }
    restore();
}

template <class T>
basic_stringx<T>::~basic_stringx()
{
    save();
    free_caches();
    release_storage();
}

// ---- assignment ----------------------------------------------------------

template <class T>
basic_stringx<T>& basic_stringx<T>::operator=(const basic_stringx& other)
{
    if (this != &other) {
        save();
        replace_range(0, length_, other.data(), other.length_);
        restore();
    }
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::operator=(basic_stringx&& other) noexcept
{
    if (this != &other) {
        save();
        release_storage();
        take_from(other);
        restore();
    }
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::operator=(const wchar_t* text)
{
    save();
    replace_range(0, length_, text, text_length(text));
    restore();
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::assign(const wchar_t* text, size_t count)
{
    replace_range(0, length_, text, text ? count : 0);
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::assign(const basic_stringx& other, size_t position, size_t count)
{
    if (position > other.length_)
        throw_bad_position();
    const size_t available = other.length_ - position;
    replace_range(0, length_, other.data() + position, count < available ? count : available);
    return *this;
}

template <class T>
basic_stringx<char_traitsi> basic_stringx<T>::to_stringx() const
{
    return basic_stringx<char_traitsi>(data(), length_);
}

template <class T>
basic_stringx<char_traits_exact> basic_stringx<T>::to_wstringx() const
{
    return basic_stringx<char_traits_exact>(data(), length_);
}

// ---- storage -------------------------------------------------------------

template <class T>
bool basic_stringx<T>::holds(const wchar_t* text) const noexcept
{
    const wchar_t* begin = data();
    return text >= begin && text <= begin + capacity_;
}

// New storage for a text of the given length: the length with its three low
// bits set, or one and a half times the old capacity when that is larger.
template <class T>
wchar_t* basic_stringx<T>::allocate_for(size_t length, size_t& capacity) const
{
    size_t wanted = length | inline_capacity;
    if (wanted > max_length)
        wanted = max_length;
    if (capacity_ / 2 <= max_length - capacity_ && capacity_ + capacity_ / 2 > wanted)
        wanted = capacity_ + capacity_ / 2;

    const DWORD last_error = GetLastError();
    BSTR block = SysAllocStringLen(nullptr, static_cast<UINT>(wanted + 1));
    if (!block && wanted != length) {
        wanted = length;
        block = SysAllocStringLen(nullptr, static_cast<UINT>(wanted + 1));
    }
    SetLastError(last_error);
    if (!block)
        throw std::bad_alloc();
    capacity = wanted;
    return block;
}

template <class T>
void basic_stringx<T>::release_storage() noexcept
{
    if (capacity_ > inline_capacity)
        SysFreeString(heap_);
    capacity_ = inline_capacity;
    length_ = 0;
    inline_[0] = L'\0';
}

template <class T>
void basic_stringx<T>::take_from(basic_stringx& other) noexcept
{
    if (other.capacity_ > inline_capacity) {
        heap_ = other.heap_;
        capacity_ = other.capacity_;
    } else {
        wmemcpy(inline_, other.inline_, inline_capacity + 1);
        capacity_ = inline_capacity;
    }
    length_ = other.length_;
    other.capacity_ = inline_capacity;
    other.length_ = 0;
    other.inline_[0] = L'\0';
}

// Every edit funnels through here: the range [position, position + count) is
// replaced by the given text, which may lie inside this string's own storage.
template <class T>
void basic_stringx<T>::replace_range(size_t position, size_t count, const wchar_t* text, size_t text_length)
{
    if (position > length_)
        throw_bad_position();
    if (count > length_ - position)
        count = length_ - position;
    const size_t kept = length_ - count;
    if (text_length > max_length - kept)
        throw_too_long();
    const size_t new_length = kept + text_length;
    const size_t tail = length_ - position - count;

    if (new_length > capacity_) {
        size_t capacity = 0;
        wchar_t* block = allocate_for(new_length, capacity);
        const wchar_t* old = data();
        wmemcpy(block, old, position);
        if (text_length)
            wmemcpy(block + position, text, text_length);
        wmemcpy(block + position + text_length, old + position + count, tail);
        block[new_length] = L'\0';
        release_storage();
        heap_ = block;
        capacity_ = capacity;
        length_ = new_length;
        return;
    }

    wchar_t* target = data();
    std::unique_ptr<wchar_t[]> copy;
    if (text_length && holds(text)) {
        copy.reset(new wchar_t[text_length]);
        wmemcpy(copy.get(), text, text_length);
        text = copy.get();
    }
    if (text_length != count)
        wmemmove(target + position + text_length, target + position + count, tail);
    if (text_length)
        wmemcpy(target + position, text, text_length);
    length_ = new_length;
    target[new_length] = L'\0';
}

template <class T>
void basic_stringx<T>::assign_from_bstr(BSTR value)
{
    replace_range(0, length_, value, bstr_text_length(value));
}

template <class T>
void basic_stringx<T>::free_bstr_cache() noexcept
{
    if (bstr_) {
        SysFreeString(bstr_);
        bstr_ = nullptr;
    }
}

template <class T>
void basic_stringx<T>::free_caches() noexcept
{
    free_bstr_cache();
    narrow_.reset();
    narrow_capacity_ = 0;
}

// ---- appending -------------------------------------------------------------

template <class T>
basic_stringx<T>& basic_stringx<T>::append(const basic_stringx& other)
{
    replace_range(length_, 0, other.data(), other.length_);
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append(const basic_stringx& other, size_t position, size_t count)
{
    if (position > other.length_)
        throw_bad_position();
    const size_t available = other.length_ - position;
    replace_range(length_, 0, other.data() + position, count < available ? count : available);
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append(const wchar_t* text, size_t count)
{
    if (text)
        replace_range(length_, 0, text, count);
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append(const wchar_t* text)
{
    replace_range(length_, 0, text, text_length(text));
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append_fill(size_t count, wchar_t ch)
{
    if (count > max_length - length_)
        throw_too_long();
    const size_t start = length_;
    if (count == 0)
        return *this;
    if (start + count > capacity_) {
        size_t capacity = 0;
        wchar_t* block = allocate_for(start + count, capacity);
        wmemcpy(block, data(), start);
        release_storage();
        heap_ = block;
        capacity_ = capacity;
    }
    wchar_t* target = data();
    wmemset(target + start, ch, count);
    length_ = start + count;
    target[length_] = L'\0';
    return *this;
}

// ---- comparison and search ---------------------------------------------

template <class T>
int basic_stringx<T>::compare(const basic_stringx& other) const noexcept
{
    return T::compare(data(), length_, other.data(), other.length_);
}

template <class T>
int basic_stringx<T>::compare(const wchar_t* text) const noexcept
{
    return T::compare(data(), length_, text ? text : L"", text_length(text));
}

namespace {

template <class T>
size_t find_text(const wchar_t* hay, size_t hay_length, const wchar_t* needle, size_t needle_length,
                 size_t start) noexcept
{
    if (needle_length == 0)
        return start <= hay_length ? start : static_cast<size_t>(-1);
    if (start >= hay_length || needle_length > hay_length - start)
        return static_cast<size_t>(-1);
    const size_t last = hay_length - needle_length;
    for (size_t i = start; i <= last; ++i) {
        if (T::same_char(hay[i], needle[0]) && T::same_text(hay + i, needle, needle_length))
            return i;
    }
    return static_cast<size_t>(-1);
}

template <class T>
size_t rfind_text(const wchar_t* hay, size_t hay_length, const wchar_t* needle, size_t needle_length,
                  size_t start) noexcept
{
    if (needle_length == 0)
        return start < hay_length ? start : hay_length;
    if (needle_length > hay_length)
        return static_cast<size_t>(-1);
    size_t i = hay_length - needle_length;
    if (start < i)
        i = start;
    for (;;) {
        if (T::same_char(hay[i], needle[0]) && T::same_text(hay + i, needle, needle_length))
            return i;
        if (i == 0)
            return static_cast<size_t>(-1);
        --i;
    }
}

template <class T>
bool in_set(wchar_t ch, const wchar_t* set) noexcept
{
    for (; set && *set; ++set) {
        if (T::same_char(ch, *set))
            return true;
    }
    return false;
}

} // namespace

template <class T>
size_t basic_stringx<T>::find(const basic_stringx& text, size_t start) const noexcept
{
    return find_text<T>(data(), length_, text.data(), text.length_, start);
}

template <class T>
size_t basic_stringx<T>::find(const wchar_t* text, size_t start) const noexcept
{
    return find_text<T>(data(), length_, text, text_length(text), start);
}

template <class T>
size_t basic_stringx<T>::find(wchar_t ch, size_t start) const noexcept
{
    return find_text<T>(data(), length_, &ch, 1, start);
}

template <class T>
size_t basic_stringx<T>::rfind(const basic_stringx& text, size_t start) const noexcept
{
    return rfind_text<T>(data(), length_, text.data(), text.length_, start);
}

template <class T>
size_t basic_stringx<T>::rfind(const wchar_t* text, size_t start) const noexcept
{
    return rfind_text<T>(data(), length_, text, text_length(text), start);
}

// The set search compares without regard to case in both classes.
template <class T>
size_t basic_stringx<T>::find_first_not_of(const wchar_t* set, size_t start) const noexcept
{
    const wchar_t* text = data();
    for (size_t i = start; i < length_; ++i) {
        if (!in_set<char_traitsi>(text[i], set))
            return i;
    }
    return npos;
}

template <class T>
size_t basic_stringx<T>::find_last_not_of(const wchar_t* set, size_t start) const noexcept
{
    if (length_ == 0)
        return npos;
    const wchar_t* text = data();
    size_t i = start < length_ ? start : length_ - 1;
    for (;;) {
        if (!in_set<T>(text[i], set))
            return i;
        if (i == 0)
            return npos;
        --i;
    }
}

// ---- editing -------------------------------------------------------------

template <class T>
basic_stringx<T> basic_stringx<T>::substr(size_t position, size_t count) const
{
    return basic_stringx(*this, position, count);
}

template <class T>
basic_stringx<T>& basic_stringx<T>::erase(size_t position, size_t count)
{
    replace_range(position, count, nullptr, 0);
    free_bstr_cache();
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::replace(size_t position, size_t count, const basic_stringx& text)
{
    replace_range(position, count, text.data(), text.length_);
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::replace(size_t position, size_t count, const wchar_t* text,
                                            size_t text_length)
{
    replace_range(position, count, text, text ? text_length : 0);
    return *this;
}

template <class T>
bool basic_stringx<T>::replace_first(const basic_stringx& search, const basic_stringx& replacement)
{
    const size_t position = find(search);
    if (position == npos)
        return false;
    replace_range(position, search.length_, replacement.data(), replacement.length_);
    return true;
}

// One pass over the text; a replacement is never searched again, exactly as
// replacing one occurrence after the other and going on behind each.
template <class T>
size_t basic_stringx<T>::replace_all(const basic_stringx& search, const basic_stringx& replacement)
{
    if (search.empty() || replacement.compare(search) == 0)
        return 0;
    size_t position = find(search);
    if (position == npos)
        return 0;
    basic_stringx result;
    size_t replaced = 0;
    size_t done = 0;
    while (position != npos) {
        result.append(data() + done, position - done);
        result.append(replacement);
        done = position + search.length_;
        ++replaced;
        position = find(search, done);
    }
    result.append(data() + done, length_ - done);
    save();
    release_storage();
    take_from(result);
    restore();
    return replaced;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::trim(const wchar_t* set)
{
    const size_t last = find_last_not_of(set);
    if (last == npos) {
        erase();
        return *this;
    }
    erase(last + 1);
    const size_t first = find_first_not_of(set);
    if (first != 0 && first != npos)
        erase(0, first);
    return *this;
}

template <class T>
bool basic_stringx<T>::starts_with(const basic_stringx& text) const noexcept
{
    return text.length_ <= length_ && T::same_text(data(), text.data(), text.length_);
}

// A searched text longer than the string is never its tail.
template <class T>
bool basic_stringx<T>::ends_with(const basic_stringx& text) const noexcept
{
    return text.length_ <= length_ &&
           T::same_text(data() + (length_ - text.length_), text.data(), text.length_);
}

template <class T>
bool basic_stringx<T>::ends_with_char(wchar_t ch) const noexcept
{
    return length_ != 0 && data()[length_ - 1] == ch;
}

template <class T>
bool basic_stringx<T>::char_at_equals(size_t index, wchar_t ch) const noexcept
{
    return index < length_ && data()[index] == ch;
}

template <class T>
basic_stringx<T> basic_stringx<T>::before_first(wchar_t ch) const
{
    const size_t position = find(ch);
    return position == npos ? *this : substr(0, position);
}

template <class T>
basic_stringx<T> basic_stringx<T>::after_first(wchar_t ch) const
{
    const size_t position = find(ch);
    return position == npos ? basic_stringx() : substr(position + 1);
}

namespace {

template <class S>
void split_pieces(const S& text, const wchar_t* separator, size_t separator_length, unsigned flags,
                  std::vector<S>& pieces)
{
    const bool skip_empty = (flags & split_skip_empty) != 0;
    if (text.empty()) {
        if (!skip_empty)
            pieces.emplace_back();
        return;
    }
    const S separator_text(separator, separator_length);
    size_t start = 0;
    for (;;) {
        const size_t position = separator_length == 0 ? S::npos : text.find(separator_text, start);
        if (position == S::npos)
            break;
        if (position > start || !skip_empty)
            pieces.push_back(text.substr(start, position - start));
        start = position + separator_length;
    }
    if (start < text.length())
        pieces.push_back(text.substr(start));
}

} // namespace

template <class T>
void basic_stringx<T>::split(wchar_t separator, unsigned flags, std::vector<basic_stringx>& pieces) const
{
    split_pieces(*this, &separator, 1, flags, pieces);
}

template <class T>
void basic_stringx<T>::split_into(const basic_stringx& separator, unsigned flags,
                                  std::vector<basic_stringx>& pieces) const
{
    split_pieces(*this, separator.data(), separator.length_, flags, pieces);
}

// Keeps every piece, empty ones included.
template <class T>
std::vector<basic_stringx<T>> basic_stringx<T>::split(const basic_stringx& separator) const
{
    std::vector<basic_stringx> pieces;
    const basic_stringx text(*this);
    size_t start = 0;
    if (!separator.empty()) {
        for (size_t position = text.find(separator); position != npos;
             position = text.find(separator, start)) {
            pieces.push_back(text.substr(start, position - start));
            start = position + separator.length_;
        }
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::join(const std::vector<basic_stringx>& parts, wchar_t separator)
{
    for (const basic_stringx& part : parts) {
        if (!empty() && !ends_with_char(separator))
            append(&separator, 1);
        append(part);
    }
    return *this;
}

template <class T>
basic_stringx<T> basic_stringx<T>::remove_trailing_char(wchar_t ch)
{
    if (ends_with_char(ch))
        erase(length_ - 1, 1);
    return *this;
}

template <class T>
basic_stringx<T> basic_stringx<T>::remove_leading_char(wchar_t ch)
{
    if (char_at_equals(0, ch))
        erase(0, 1);
    return *this;
}

template <class T>
basic_stringx<T> basic_stringx<T>::ensure_trailing_char(wchar_t ch)
{
    if (!ends_with_char(ch))
        append(&ch, 1);
    return *this;
}

template <class T>
basic_stringx<T> basic_stringx<T>::ensure_leading_char(wchar_t ch)
{
    if (!char_at_equals(0, ch))
        replace_range(0, 0, &ch, 1);
    return *this;
}

template <class T>
basic_stringx<T> basic_stringx<T>::quote(bool only_if_space, bool escaped)
{
    // The exact-case strings always quote plainly.
    if constexpr (std::is_same_v<T, char_traits_exact>) {
        only_if_space = false;
        escaped = false;
    }
    if (only_if_space && find(L' ') == npos)
        return *this;
    if (escaped) {
        replace_range(0, 0, L"\\\"", 2);
        append(L"\\\"", 2);
    } else {
        // Both ends are judged on the text as it was, so an empty text gets a pair.
        const bool starts = char_at_equals(0, L'"');
        const bool ends = ends_with_char(L'"');
        if (!starts)
            replace_range(0, 0, L"\"", 1);
        if (!ends)
            append(L"\"", 1);
    }
    return *this;
}

template <class T>
basic_stringx<T> basic_stringx<T>::unquote()
{
    remove_leading_char(L'"');
    remove_trailing_char(L'"');
    return *this;
}

// ---- paths and addresses -------------------------------------------------

template <class T>
bool basic_stringx<T>::is_unc() const noexcept
{
    return length_ > 2 && data()[0] == L'\\' && data()[1] == L'\\';
}

template <class T>
bool basic_stringx<T>::is_absolute_path() const noexcept
{
    if (length_ == 0)
        return false;
    if (is_unc())
        return true;
    if (length_ == 2)
        return data()[1] == L':';
    return length_ > 2 && data()[1] == L':' && data()[2] == L'\\';
}

template <class T>
basic_stringx<T> basic_stringx<T>::path_root(bool with_trailing_backslash) const
{
    basic_stringx root;
    if (is_unc()) {
        const size_t server_end = find(L'\\', 2);
        const size_t share_end = server_end == npos ? npos : find(L'\\', server_end + 1);
        root = share_end == npos ? *this : substr(0, share_end);
    } else if (length_ >= 2 && data()[1] == L':') {
        root = substr(0, 2);
    }
    if (with_trailing_backslash)
        root.add_trailing_backslash();
    return root;
}

template <class T>
basic_stringx<T> basic_stringx<T>::path_folder(bool keep_trailing_backslash, bool remove_root) const
{
    const size_t last = rfind(L"\\");
    const bool double_backslash = length_ >= 2 && data()[0] == L'\\' && data()[1] == L'\\';
    const size_t root_length = double_backslash ? 0 : path_root(false).length_;

    basic_stringx result;
    if (last == npos || last < root_length)
        result = path_root(false);
    else
        result = substr(0, last + 1);

    if (!keep_trailing_backslash && result.length_ > root_length + 1)
        result.remove_trailing_char(L'\\');

    if (remove_root) {
        const basic_stringx root = result.path_root(false);
        if (!root.empty()) {
            const size_t position = result.find(root);
            if (position != npos)
                result.erase(position, root.length_);
        }
    }
    return result;
}

template <class T>
basic_stringx<T> basic_stringx<T>::path_combine(const basic_stringx& part) const
{
    basic_stringx result(*this);
    result.append_with_separator(part, L'\\');
    return result;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append_with_separator(const basic_stringx& part, wchar_t separator)
{
    if (part.empty())
        return *this;
    if (empty())
        return *this = part;
    const bool ends = ends_with_char(separator);
    const bool starts = part.char_at_equals(0, separator);
    if (ends && starts) {
        replace_range(length_, 0, part.data() + 1, part.length_ - 1);
        return *this;
    }
    if (!ends && !starts)
        append(&separator, 1);
    return append(part);
}

template <class T>
basic_stringx<T> basic_stringx<T>::path_extension() const
{
    const size_t dot = rfind(L".");
    if (dot == npos || dot < path_folder(false).length_)
        return basic_stringx();
    return substr(dot);
}

template <class T>
basic_stringx<T> basic_stringx<T>::path_file_name(bool without_extension) const
{
    basic_stringx path(*this);
    if (without_extension)
        path.erase(path.length_ - path.path_extension().length_);
    return path.substr(path.path_folder(true).length_);
}

template <class T>
basic_stringx<T> basic_stringx<T>::change_extension(const basic_stringx& extension)
{
    basic_stringx result = path_folder(true);
    result.append(path_file_name(true));
    if (!extension.empty()) {
        result.append(L".", 1);
        result.append(extension);
    }
    return *this = result;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append_path(const basic_stringx& part)
{
    return append_with_separator(part, L'\\');
}

template <class T>
basic_stringx<T>& basic_stringx<T>::append_path(const wchar_t* part)
{
    if (!part)
        part = L"";
    if (empty())
        return *this = part;
    const bool ends = ends_with_char(L'\\');
    if (ends && *part == L'\\')
        return append(part + 1);
    if (!ends && *part != L'\\')
        append(L"\\", 1);
    return append(part);
}

template <class T>
bool basic_stringx<T>::is_drive_path() const noexcept
{
    if (!is_absolute_path())
        return false;
    const wchar_t first = data()[0];
    return is_unc() || (first >= L'A' && first <= L'Z') || (first >= L'a' && first <= L'z');
}

template <class T>
bool basic_stringx<T>::is_drive_root() const noexcept
{
    return is_drive_path() && !is_unc() && length_ < 4;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::to_upper()
{
    if (length_ != 0)
        CharUpperBuffW(data(), static_cast<DWORD>(length_));
    return *this;
}

namespace {

bool has_prefix_nocase(const wchar_t* text, size_t length, const wchar_t* prefix, size_t minimum) noexcept
{
    const size_t prefix_length = wcslen(prefix);
    return length >= minimum && length >= prefix_length && _wcsnicmp(text, prefix, prefix_length) == 0;
}

} // namespace

template <class T>
bool basic_stringx<T>::is_http_url() const noexcept
{
    return has_prefix_nocase(data(), length_, L"http://", 8);
}

template <class T>
bool basic_stringx<T>::is_https_url() const noexcept
{
    return has_prefix_nocase(data(), length_, L"https://", 9);
}

template <class T>
bool basic_stringx<T>::is_ftp_url() const noexcept
{
    return has_prefix_nocase(data(), length_, L"ftp://", 7);
}

template <class T>
bool basic_stringx<T>::is_url() const noexcept
{
    return is_http_url() || is_ftp_url() || is_https_url();
}

// ---- numbers and formatting ----------------------------------------------

namespace {

template <class N>
bool parsed_whole(const wchar_t* begin, size_t length, const wchar_t* end, N value, N limit_a, N limit_b,
                  int error) noexcept
{
    if ((value == limit_a || value == limit_b) && error == ERANGE)
        return false;
    return end != begin && end == begin + length;
}

} // namespace

template <class T>
bool basic_stringx<T>::to_ulong(unsigned long& value, int radix) const
{
    const wchar_t* begin = data();
    wchar_t* end = nullptr;
    errno = 0;
    value = wcstoul(begin, &end, radix);
    return parsed_whole<unsigned long>(begin, length_, end, value, ULONG_MAX, ULONG_MAX, errno);
}

template <class T>
bool basic_stringx<T>::to_long(long& value, int radix) const
{
    const wchar_t* begin = data();
    wchar_t* end = nullptr;
    errno = 0;
    value = wcstol(begin, &end, radix);
    return parsed_whole<long>(begin, length_, end, value, LONG_MAX, LONG_MIN, errno);
}

template <class T>
bool basic_stringx<T>::to_int64(long long& value, int radix) const
{
    const wchar_t* begin = data();
    wchar_t* end = nullptr;
    errno = 0;
    value = _wcstoi64(begin, &end, radix);
    return parsed_whole<long long>(begin, length_, end, value, LLONG_MAX, LLONG_MIN, errno);
}

template <class T>
basic_stringx<T>& basic_stringx<T>::format(const wchar_t* format_text, ...)
{
    va_list args;
    va_start(args, format_text);
    vformat(format_text, args);
    va_end(args);
    return *this;
}

template <class T>
basic_stringx<T>& basic_stringx<T>::vformat(const wchar_t* format_text, va_list args)
{
    if (!format_text) {
        erase();
        return *this;
    }
    va_list counting;
    va_copy(counting, args);
    const int count = _vscwprintf(format_text, counting);
    va_end(counting);
    if (count < 0) {
        erase();
        return *this;
    }
    buffer out(*this, static_cast<size_t>(count) + 1);
    vswprintf_s(out.wide(), static_cast<size_t>(count) + 1, format_text, args);
    return *this;
}

// ---- COM and ANSI interplay ----------------------------------------------

template <class T>
BSTR* basic_stringx<T>::c_bstr()
{
    if (SysStringLen(bstr_) == length_) {
        if (bstr_) {
            wmemcpy(bstr_, data(), length_);
            bstr_[length_] = L'\0';
        }
        return &bstr_;
    }
    const DWORD last_error = GetLastError();
    bool done;
    if (bstr_) {
        done = SysReAllocStringLen(&bstr_, data(), static_cast<UINT>(length_)) != FALSE;
    } else {
        bstr_ = SysAllocStringLen(data(), static_cast<UINT>(length_));
        done = bstr_ != nullptr;
    }
    SetLastError(last_error);
    if (!done)
        throw std::bad_alloc();
    return &bstr_;
}

template <class T>
HRESULT basic_stringx<T>::copy_to_bstr(BSTR* out) const
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(data(), static_cast<UINT>(length_));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The cache is sized by asking for the converted length, so a multi-byte ANSI
// code page always finds room for the whole text and its terminator.
template <class T>
const char* basic_stringx<T>::c_narrow()
{
    const DWORD last_error = GetLastError();
    int needed = WideCharToMultiByte(CP_THREAD_ACP, 0, data(), static_cast<int>(length_ + 1), nullptr, 0,
                                     nullptr, nullptr);
    if (needed <= 0)
        needed = 1;
    if (!narrow_ || static_cast<size_t>(needed) >= narrow_capacity_) {
        const size_t capacity = static_cast<size_t>(needed) / 64 * 64 + 64;
        narrow_.reset(new char[capacity]);
        narrow_capacity_ = capacity;
    }
    if (to_multibyte(narrow_.get(), static_cast<int>(narrow_capacity_), CP_THREAD_ACP) <= 0)
        narrow_[0] = '\0';
    SetLastError(last_error);
    return narrow_.get();
}

template <class T>
int basic_stringx<T>::to_multibyte(char* bytes, int size, UINT code_page) const
{
    if (is_utf16_code_page(code_page)) {
        const size_t needed = (length_ + 1) * sizeof(wchar_t);
        if (size == 0)
            return static_cast<int>(needed);
        if (!bytes || size < 0 || static_cast<size_t>(size) < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        memcpy(bytes, data(), needed);
        if (code_page == 1201)
            swap_byte_pairs(bytes, needed);
        return size;
    }
    return WideCharToMultiByte(code_page, 0, data(), static_cast<int>(length_ + 1), bytes, size, nullptr,
                               nullptr);
}

template <class T>
int basic_stringx<T>::assign_multibyte(const char* bytes, int count, UINT code_page)
{
    if (!bytes)
        count = 0;
    if (is_utf16_code_page(code_page)) {
        if (count < 0)
            count = static_cast<int>(wcslen(reinterpret_cast<const wchar_t*>(bytes)) * sizeof(wchar_t));
        const size_t units = static_cast<size_t>(count) / sizeof(wchar_t);
        std::unique_ptr<wchar_t[]> text(new wchar_t[units ? units : 1]);
        memcpy(text.get(), bytes, units * sizeof(wchar_t));
        if (code_page == 1201)
            swap_byte_pairs(reinterpret_cast<char*>(text.get()), units * sizeof(wchar_t));
        replace_range(0, length_, text.get(), units);
        return count;
    }
    if (count < 0)
        count = static_cast<int>(strlen(bytes));
    if (count == 0)
        return 0;
    const int needed = MultiByteToWideChar(code_page, 0, bytes, count, nullptr, 0);
    if (needed <= 0)
        return 0;
    std::unique_ptr<wchar_t[]> text(new wchar_t[needed]);
    const int produced = MultiByteToWideChar(code_page, 0, bytes, count, text.get(), needed);
    if (produced > 0)
        replace_range(0, length_, text.get(), static_cast<size_t>(produced));
    return produced;
}

// ---- write buffers and BSTR references ---------------------------------

template <class T>
basic_stringx<T>::buffer::buffer(basic_stringx& owner, size_t count) : owner_(owner)
{
    if (owner_.length_ < count)
        owner_.append_fill(count - owner_.length_, L'\0');
}

template <class T>
wchar_t* basic_stringx<T>::buffer::wide()
{
    wide_ = true;
    return *owner_.c_bstr();
}

template <class T>
char* basic_stringx<T>::buffer::narrow(size_t bytes)
{
    narrow_.reset(new char[bytes + 1]());
    narrow_size_ = bytes;
    return narrow_.get();
}

template <class T>
basic_stringx<T>::buffer::~buffer()
{
    owner_.save();
    if (wide_)
        owner_.assign_from_bstr(owner_.bstr_);
    if (narrow_) {
        narrow_[narrow_size_] = '\0';
        owner_.erase();
        owner_.assign_multibyte(narrow_.get(), -1, CP_ACP);
    }
    owner_.restore();
}

template <class T>
BSTR* basic_stringx<T>::bstr_ref::arm()
{
    armed_ = true;
    return owner_.c_bstr();
}

template <class T>
basic_stringx<T>::bstr_ref::~bstr_ref()
{
    if (armed_) {
        owner_.save();
        owner_.assign_from_bstr(owner_.bstr_);
        owner_.restore();
    }
}

template class basic_stringx<char_traitsi>;
template class basic_stringx<char_traits_exact>;

bool less_nocase::operator()(const _stringx& a, const _stringx& b) const noexcept
{
    return _wcsicmp(a.c_str(), b.c_str()) < 0;
}

} // namespace kr
