#include "encoded_text_file.h"

#include <algorithm>
#include <string>

#include "kr/handle_holder.h"
#include "kr/win32_exception.h"

namespace kr::encoded_text {

namespace {

constexpr int kAnsi = 0;
constexpr int kUtf16Le = 1200;
constexpr int kUtf16Be = 1201;
constexpr int kUtf8 = 65001;

struct mark_info {
    int code_page;
    size_t length;
};

mark_info detect_mark(const std::string& bytes)
{
    if (bytes.size() >= 2) {
        if (bytes[0] == '\xFF' && bytes[1] == '\xFE')
            return {kUtf16Le, 2};
        if (bytes[0] == '\xFE' && bytes[1] == '\xFF')
            return {kUtf16Be, 2};
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        return {kUtf8, 3};
    return {kAnsi, 0};
}

std::string mark_bytes(int code_page)
{
    switch (code_page) {
    case kUtf16Le:
        return std::string("\xFF\xFE", 2);
    case kUtf16Be:
        return std::string("\xFE\xFF", 2);
    case kUtf8:
        return std::string("\xEF\xBB\xBF", 3);
    default:
        return std::string();
    }
}

void append_encoded(std::string& bytes, const _stringx& text, int code_page, const _stringx& path)
{
    if (text.empty())
        return;
    if (code_page == kUtf16Le || code_page == kUtf16Be) {
        const size_t start = bytes.size();
        bytes.append(reinterpret_cast<const char*>(text.c_str()), text.length() * sizeof(wchar_t));
        if (code_page == kUtf16Be) {
            for (size_t i = start; i + 1 < bytes.size(); i += 2)
                std::swap(bytes[i], bytes[i + 1]);
        }
        return;
    }
    const UINT windows_code_page = static_cast<UINT>(code_page);
    const int length = static_cast<int>(text.length());
    const int needed = WideCharToMultiByte(windows_code_page, 0, text.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        throw file_exception(path);
    const size_t start = bytes.size();
    bytes.resize(start + static_cast<size_t>(needed));
    WideCharToMultiByte(windows_code_page, 0, text.c_str(), length, bytes.data() + start, needed, nullptr, nullptr);
}

// Every folder of the path's folder part, from the root down.
void create_folders_of(const _stringx& path)
{
    const _stringx folder = path.path_folder();
    if (folder.empty())
        return;
    size_t position = folder.path_root(true).length();
    for (;;) {
        position = folder.find(L'\\', position);
        const _stringx part = position == _stringx::npos ? folder : folder.substr(0, position);
        if (!part.empty())
            CreateDirectoryW(part.c_str(), nullptr);
        if (position == _stringx::npos)
            return;
        ++position;
    }
}

} // namespace

DWORD read(const _stringx& path, _stringx& text, int& code_page, bool& has_mark)
{
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return GetLastError();
    const handle_holder file(opened);

    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size))
        throw file_exception(path);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD read_now = 0;
        if (!ReadFile(file.get(), bytes.data() + done, wanted, &read_now, nullptr))
            throw file_exception(path);
        if (read_now == 0)
            break;
        done += read_now;
    }
    bytes.resize(done);

    const mark_info mark = detect_mark(bytes);
    has_mark = mark.length != 0;
    if (has_mark)
        code_page = mark.code_page;
    else if (code_page == -1)
        code_page = kAnsi;

    text.erase();
    const size_t count = bytes.size() - mark.length;
    if (count != 0)
        text.assign_multibyte(bytes.data() + mark.length, static_cast<int>(count), static_cast<UINT>(code_page));
    return 0;
}

DWORD write_lines(const _stringx& path, const stringx_vector& lines, int code_page, bool write_mark)
{
    if (code_page == -1)
        code_page = kAnsi;
    std::string bytes;
    if (write_mark)
        bytes = mark_bytes(code_page);
    const _stringx line_end(L"\r\n");
    for (const _stringx& line : lines) {
        append_encoded(bytes, line, code_page, path);
        append_encoded(bytes, line_end, code_page, path);
    }

    create_folders_of(path);
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return GetLastError();
    const handle_holder file(opened);
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, wanted, &written, nullptr) || written == 0)
            throw file_exception(path);
        done += written;
    }
    return 0;
}

} // namespace kr::encoded_text
