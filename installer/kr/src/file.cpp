#include "kr/file.h"

#include <atomic>
#include <cstring>

#include "kr/http_file.h"
#include "kr/kernel32_forms.h"
#include "kr/win32_exception.h"

namespace kr {

namespace {

constexpr wchar_t web_agent[] = L"vozi::file";
constexpr DWORD web_timeout = 30000;
// Reload, keep the connection, no-cache pragma.
constexpr DWORD web_request_flags = 0x80400100;

bool is_web_address(const _stringx& path)
{
    const wchar_t* text = path.c_str();
    return _wcsnicmp(text, L"http://", 7) == 0 || _wcsnicmp(text, L"https://", 8) == 0;
}

// The low 32 bits of a position, the high ones into high when given; without
// it a position beyond 32 bits gives -1.
DWORD split_position(ULONGLONG position, LONG* high)
{
    if (high) {
        *high = static_cast<LONG>(position >> 32);
        return static_cast<DWORD>(position);
    }
    return position > MAXDWORD ? INVALID_SET_FILE_POINTER : static_cast<DWORD>(position);
}

} // namespace

struct file::shared_handle {
    HANDLE handle;
    std::atomic<long> count;
    http_file* web;
};

file::file(const file& other) noexcept
    : shared_(other.shared_), error_handler_(other.error_handler_), path_(other.path_),
      code_page_(other.code_page_), byte_order_mark_(other.byte_order_mark_)
{
    if (shared_)
        ++shared_->count;
}

file& file::operator=(const file& other)
{
    if (this != &other) {
        close();
        shared_ = other.shared_;
        if (shared_)
            ++shared_->count;
        error_handler_ = other.error_handler_;
        path_ = other.path_;
        code_page_ = other.code_page_;
        byte_order_mark_ = other.byte_order_mark_;
    }
    return *this;
}

file::~file()
{
    release();
}

HANDLE file::handle() const noexcept
{
    return shared_ ? shared_->handle : INVALID_HANDLE_VALUE;
}

http_file* file::web() const noexcept
{
    return shared_ ? shared_->web : nullptr;
}

bool file::is_web() const noexcept
{
    return web() != nullptr;
}

void file::raise() const
{
    if (web())
        throw internet_file_exception(path_);
    throw file_exception(path_);
}

DWORD file::open(const _stringx& path, DWORD access, DWORD share, DWORD attributes, DWORD disposition,
                 SECURITY_ATTRIBUTES* security, HANDLE template_file)
{
    close();
    path_ = path;
    code_page_ = code_page_ansi;
    byte_order_mark_ = false;
    if (is_web_address(path_)) {
        http_file* web = new http_file(web_agent, web_timeout, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        web->set_error_handler(error_handler_);
        if (!web->prepare_url(path_.c_str(), nullptr, web_request_flags)) {
            const DWORD error = GetLastError();
            web->release();
            return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
        }
        shared_ = new shared_handle{INVALID_HANDLE_VALUE, 1, web};
        return 0;
    }
    const HANDLE opened = create_file(path_, access, share, security, disposition, attributes, template_file);
    if (opened == INVALID_HANDLE_VALUE)
        return GetLastError();
    shared_ = new shared_handle{opened, 1, nullptr};
    detect_byte_order_mark();
    return 0;
}

// Drops one share without throwing; the destructor's way out.
void file::release() noexcept
{
    shared_handle* shared = shared_;
    shared_ = nullptr;
    if (shared && --shared->count == 0) {
        if (shared->web)
            shared->web->release();
        else
            CloseHandle(shared->handle);
        delete shared;
    }
}

void file::close()
{
    shared_handle* shared = shared_;
    shared_ = nullptr;
    if (!shared || --shared->count != 0)
        return;
    if (shared->web) {
        shared->web->release();
        delete shared;
        return;
    }
    const BOOL closed = CloseHandle(shared->handle);
    const DWORD error = GetLastError();
    delete shared;
    if (!closed)
        throw file_exception(path_, error);
}

void file::detect_byte_order_mark()
{
    byte_order_mark_ = false;
    code_page_ = code_page_ansi;
    BYTE mark[3] = {};
    try {
        if (size64() >= 2) {
            seek(0, FILE_BEGIN);
            if (read(mark, 2) == 2) {
                if (mark[0] == 0xFF && mark[1] == 0xFE) {
                    code_page_ = code_page_utf16le;
                    byte_order_mark_ = true;
                } else if (mark[0] == 0xFE && mark[1] == 0xFF) {
                    code_page_ = code_page_utf16be;
                    byte_order_mark_ = true;
                }
            }
        }
    } catch (const file_exception&) {
    }
    try {
        if (!byte_order_mark_ && size64() >= 3) {
            seek(0, FILE_BEGIN);
            if (read(mark, 3) == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
                code_page_ = code_page_utf8;
                byte_order_mark_ = true;
            }
        }
    } catch (const file_exception&) {
    }
    try {
        seek(0, FILE_BEGIN);
    } catch (const file_exception&) {
    }
}

bool file::set_code_page(int code_page) noexcept
{
    if (byte_order_mark_ &&
        (code_page_ == code_page_utf16le || code_page_ == code_page_utf16be || code_page_ == code_page_utf8))
        return false;
    code_page_ = code_page;
    return true;
}

DWORD file::seek(LONG distance, DWORD method, LONG* high)
{
    if (http_file* internet = web()) {
        const LONGLONG offset = high ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*high)) << 32) |
                                                             static_cast<DWORD>(distance))
                                     : distance;
        const ULONGLONG position = internet->seek(offset, method);
        if (position == inet_file::invalid_offset)
            raise();
        return split_position(position, high);
    }
    SetLastError(0);
    const DWORD position = SetFilePointer(handle(), distance, high, method);
    if (position == INVALID_SET_FILE_POINTER && (!high || GetLastError() != 0))
        raise();
    return position;
}

DWORD file::size(DWORD* high)
{
    if (web()) {
        const ULONGLONG total = size64();
        if (high)
            *high = 0;
        return total > MAXDWORD ? INVALID_FILE_SIZE : static_cast<DWORD>(total);
    }
    SetLastError(0);
    const DWORD low = GetFileSize(handle(), high);
    if (low == INVALID_FILE_SIZE && GetLastError() != 0)
        raise();
    return low;
}

ULONGLONG file::size64()
{
    if (http_file* internet = web()) {
        const ULONGLONG total = internet->size();
        if (total == inet_file::invalid_offset)
            raise();
        return total;
    }
    DWORD high = 0;
    const DWORD low = size(&high);
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

DWORD file::read(void* buffer, DWORD count)
{
    if (count == static_cast<DWORD>(-1))
        count = 1;
    DWORD done = 0;
    if (http_file* internet = web()) {
        if (!internet->read_with_retry(buffer, count, &done))
            raise();
        return done;
    }
    if (!ReadFile(handle(), buffer, count, &done, nullptr))
        raise();
    return done;
}

DWORD file::write(const void* buffer, DWORD count)
{
    if (count == static_cast<DWORD>(-1))
        count = 1;
    DWORD done = 0;
    if (!WriteFile(handle(), buffer, count, &done, nullptr))
        raise();
    return done;
}

DWORD file::read_all(std::unique_ptr<BYTE[]>& buffer)
{
    buffer.reset();
    const ULONGLONG size = size64();
    if (size == 0)
        return 0;
    // The count and the two zero bytes behind it must fit the 32-bit sizes.
    if (size > MAXDWORD - 2) {
        if (web())
            throw internet_file_exception(path_, ERROR_FILE_TOO_LARGE);
        throw file_exception(path_, ERROR_FILE_TOO_LARGE);
    }
    const DWORD total = static_cast<DWORD>(size);
    seek(0, FILE_BEGIN);
    buffer.reset(new BYTE[static_cast<size_t>(total) + 2]);
    const DWORD done = read(buffer.get(), total);
    buffer[done] = 0;
    buffer[done + 1] = 0;
    return done;
}

size_t file::read_all_text(_stringx& text)
{
    std::unique_ptr<BYTE[]> bytes;
    DWORD count = read_all(bytes);
    text.erase();
    if (count == 0)
        return 0;
    DWORD skip = 0;
    if (byte_order_mark_) {
        if (code_page_ == code_page_utf16le || code_page_ == code_page_utf16be)
            skip = 2;
        else if (code_page_ == code_page_utf8)
            skip = 3;
    }
    skip = skip < count ? skip : count;
    count -= skip;
    if (count != 0)
        text.assign_multibyte(reinterpret_cast<const char*>(bytes.get() + skip), static_cast<int>(count),
                              static_cast<UINT>(code_page_));
    return text.length();
}

void file::write_byte_order_mark()
{
    if (!byte_order_mark_)
        return;
    const std::string_view mark = byte_order_mark_of(code_page_);
    if (!mark.empty())
        write(mark.data(), static_cast<DWORD>(mark.size()));
}

void file::write_text(const _stringx& text)
{
    std::string bytes;
    if (!encode_text(text, code_page_, bytes))
        raise();
    if (!bytes.empty())
        write(bytes.data(), static_cast<DWORD>(bytes.size()));
}

void file::get_times(FILETIME* last_write, FILETIME* creation, FILETIME* last_access)
{
    if (http_file* internet = web()) {
        FILETIME modified = {};
        if (!internet->last_modified(&modified))
            raise();
        if (last_write)
            *last_write = modified;
        return;
    }
    if (!GetFileTime(handle(), creation, last_access, last_write))
        raise();
}

void file::set_times(const FILETIME* last_write, const FILETIME* creation, const FILETIME* last_access)
{
    if (!SetFileTime(handle(), creation, last_access, last_write))
        raise();
}

bool encode_text(const _stringx& text, int code_page, std::string& bytes)
{
    bytes.clear();
    const UINT page = static_cast<UINT>(code_page);
    const int needed = text.to_multibyte(nullptr, 0, page);
    if (needed <= 0)
        return false;
    std::unique_ptr<char[]> converted(new char[static_cast<size_t>(needed)]);
    const int count = text.to_multibyte(converted.get(), needed, page);
    if (count <= 0)
        return false;
    const int terminator = (code_page == code_page_utf16le || code_page == code_page_utf16be) ? 2 : 1;
    if (count > terminator)
        bytes.assign(converted.get(), static_cast<size_t>(count - terminator));
    return true;
}

std::string_view byte_order_mark_of(int code_page)
{
    switch (code_page) {
    case code_page_utf16le:
        return std::string_view("\xFF\xFE", 2);
    case code_page_utf16be:
        return std::string_view("\xFE\xFF", 2);
    case code_page_utf8:
        return std::string_view("\xEF\xBB\xBF", 3);
    default:
        return std::string_view();
    }
}

void find_first_file(const _stringx& path, WIN32_FIND_DATAW& data)
{
    const HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        throw file_exception(path);
    FindClose(find);
}

DWORD read_text_file_into(const _stringx& path, _stringx& text, int* code_page, bool* byte_order_mark)
{
    file source;
    const DWORD opened = source.open(path, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING);
    if (opened != 0)
        return opened;
    if (code_page && *code_page != -1)
        source.set_code_page(*code_page);
    source.read_all_text(text);
    if (code_page)
        *code_page = source.code_page();
    if (byte_order_mark)
        *byte_order_mark = source.has_byte_order_mark();
    source.close();
    return 0;
}

_stringx read_text_file(const _stringx& path)
{
    _stringx text;
    try {
        if (read_text_file_into(path, text) != 0)
            text.erase();
    } catch (const file_exception&) {
        text.erase();
    }
    return text;
}

} // namespace kr
