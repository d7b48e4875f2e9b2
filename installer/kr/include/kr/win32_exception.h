#pragma once

// Exceptions that carry a Win32 error code. The system text of the code is
// formatted on first use and shared by every copy of the exception.

#include <windows.h>

#include <exception>
#include <memory>

#include "kr/stringx.h"

namespace kr {

class win32_exception : public std::exception {
public:
    win32_exception();                      // the thread's GetLastError()
    explicit win32_exception(DWORD code);
    win32_exception(const win32_exception& other) noexcept = default;
    win32_exception& operator=(const win32_exception& other) noexcept = default;
    ~win32_exception() override;

    DWORD code() const noexcept { return code_; }
    // The system text of the code (UTF-16); empty for code 0 or an unknown code.
    const wchar_t* message() const noexcept;
    // The same text in the ANSI code page.
    const char* what() const noexcept override;

private:
    struct message_block;

    DWORD code_;
    std::shared_ptr<message_block> block_;
};

// A failure on a file; the path is the file concerned.
class file_exception : public virtual win32_exception {
public:
    explicit file_exception(const _stringx& path);
    file_exception(const _stringx& path, DWORD code);

    const _stringx& path() const noexcept { return path_; }

private:
    _stringx path_;
};

class internet_exception : public virtual win32_exception {
public:
    internet_exception() : win32_exception() {}
    explicit internet_exception(DWORD code) : win32_exception(code) {}
};

// A failure on an internet file; the address is the path of the file part.
class internet_file_exception : public internet_exception, public file_exception {
public:
    explicit internet_file_exception(const _stringx& address);
    internet_file_exception(const _stringx& address, DWORD code);
};

} // namespace kr
