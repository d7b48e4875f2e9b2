#pragma once

// A file on disk or behind an "http://" or "https://" address, read as bytes
// or as text in the encoding its byte-order mark announces; files on disk are
// also written as bytes or encoded text. Copies of an object share its handle;
// the last one to close releases it. Failures other than those of open() are
// thrown as kr::file_exception with the path (kr::internet_file_exception for
// an address).

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "kr/stringx.h"

namespace kr {

class http_file;
class internet_error_handler;

constexpr int code_page_ansi = 0;
constexpr int code_page_utf16le = 1200;
constexpr int code_page_utf16be = 1201;
constexpr int code_page_utf8 = 65001;

class file {
public:
    file() noexcept = default;
    file(const file& other) noexcept;
    file& operator=(const file& other);
    virtual ~file();

    // 0 or the Windows error of opening. Closes what was open first.
    DWORD open(const _stringx& path, DWORD access, DWORD share, DWORD attributes, DWORD disposition,
               SECURITY_ATTRIBUTES* security = nullptr, HANDLE template_file = nullptr);
    void close();
    bool is_open() const noexcept { return shared_ != nullptr; }
    bool is_web() const noexcept;
    HANDLE handle() const noexcept;
    // Asked before the internet error dialog of files opened afterwards.
    void set_error_handler(internet_error_handler* handler) noexcept { error_handler_ = handler; }
    const _stringx& path() const noexcept { return path_; }

    // Sets the code page from a mark at the start; the position returns to 0.
    void detect_byte_order_mark();
    // Refused when a mark fixed the code page to 1200, 1201 or 65001.
    bool set_code_page(int code_page) noexcept;
    int code_page() const noexcept { return code_page_; }
    bool has_byte_order_mark() const noexcept { return byte_order_mark_; }
    void set_byte_order_mark(bool mark) noexcept { byte_order_mark_ = mark; }

    DWORD seek(LONG distance, DWORD method, LONG* high = nullptr);
    DWORD size(DWORD* high = nullptr);
    ULONGLONG size64();
    // A count of (DWORD)-1 reads or writes one byte.
    DWORD read(void* buffer, DWORD count);
    DWORD write(const void* buffer, DWORD count);
    // The whole file with two zero bytes behind; no buffer for an empty file.
    // A file whose size and the two bytes do not fit in 32 bits is refused.
    DWORD read_all(std::unique_ptr<BYTE[]>& buffer);
    // The whole file as text in its code page, without the mark.
    size_t read_all_text(_stringx& text);

    // The mark of the file's code page, when the file asks for one.
    void write_byte_order_mark();
    // The text in the file's code page, without its terminating NUL.
    void write_text(const _stringx& text);

    // An address gives only its Last-Modified time, as the last-write time.
    void get_times(FILETIME* last_write, FILETIME* creation, FILETIME* last_access);
    void set_times(const FILETIME* last_write, const FILETIME* creation, const FILETIME* last_access);

private:
    struct shared_handle;

    void release() noexcept;
    [[noreturn]] void raise() const;
    http_file* web() const noexcept;

    shared_handle* shared_ = nullptr;
    internet_error_handler* error_handler_ = nullptr;
    _stringx path_;
    int code_page_ = code_page_ansi;
    bool byte_order_mark_ = false;
};

// The text in a code page, without its terminating NUL; false when the code
// page cannot take it.
bool encode_text(const _stringx& text, int code_page, std::string& bytes);
// The byte-order mark of 1200, 1201 and 65001; empty for any other code page.
std::string_view byte_order_mark_of(int code_page);

// FindFirstFileW on a path; nothing found throws kr::file_exception.
void find_first_file(const _stringx& path, WIN32_FIND_DATAW& data);

// Reads a whole text file. A code page other than -1 is applied with the rule
// of file::set_code_page; the code page in use and the mark flag come back.
// Returns 0 or the Windows error of opening.
DWORD read_text_file_into(const _stringx& path, _stringx& text, int* code_page = nullptr,
                          bool* byte_order_mark = nullptr);
// The text of a file; empty on failure.
_stringx read_text_file(const _stringx& path);

} // namespace kr
