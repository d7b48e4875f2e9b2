#include "kr/win32_exception.h"

#include <string>

namespace kr {

struct win32_exception::message_block {
    bool formatted = false;
    wchar_t* text = nullptr;   // from FormatMessageW, freed with LocalFree
    std::string narrow;

    ~message_block()
    {
        if (text)
            LocalFree(text);
    }

    void format(DWORD code) noexcept
    {
        if (formatted)
            return;
        formatted = true;
        if (code == 0)
            return;
        const DWORD last_error = GetLastError();
        wchar_t* buffer = nullptr;
        const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
            nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
        if (length != 0) {
            text = buffer;
            const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
            if (bytes > 0) {
                try {
                    narrow.resize(static_cast<size_t>(bytes));
                    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
                    narrow.resize(static_cast<size_t>(bytes) - 1);
                } catch (...) {
                    narrow.clear();
                }
            }
        } else if (buffer) {
            LocalFree(buffer);
        }
        SetLastError(last_error);
    }
};

win32_exception::win32_exception() : win32_exception(GetLastError())
{
}

win32_exception::win32_exception(DWORD code) : code_(code), block_(std::make_shared<message_block>())
{
}

win32_exception::~win32_exception() = default;

const wchar_t* win32_exception::message() const noexcept
{
    block_->format(code_);
    return block_->text ? block_->text : L"";
}

const char* win32_exception::what() const noexcept
{
    block_->format(code_);
    return block_->narrow.c_str();
}

file_exception::file_exception(const _stringx& path) : win32_exception(GetLastError()), path_(path)
{
}

file_exception::file_exception(const _stringx& path, DWORD code) : win32_exception(code), path_(path)
{
}

internet_file_exception::internet_file_exception(const _stringx& address)
    : win32_exception(GetLastError()), file_exception(address)
{
}

internet_file_exception::internet_file_exception(const _stringx& address, DWORD code)
    : win32_exception(code), file_exception(address, code)
{
}

} // namespace kr
