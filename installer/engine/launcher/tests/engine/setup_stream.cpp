#include "setup_stream.h"

#include <string>

namespace {

constexpr DWORD kTrailerBytes = 512;
constexpr char kTrailerMark[] = "\nKR-TEST-PAYLOAD:";

} // namespace

STREAM::STREAM(const _stringx& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    open_ = true;
    LARGE_INTEGER size = {};
    GetFileSizeEx(file, &size);
    const LONGLONG tail = size.QuadPart < kTrailerBytes ? size.QuadPart : kTrailerBytes;
    LARGE_INTEGER start = {};
    start.QuadPart = size.QuadPart - tail;
    std::string bytes(static_cast<size_t>(tail), '\0');
    DWORD read = 0;
    if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        ReadFile(file, bytes.data(), static_cast<DWORD>(tail), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);

    const size_t mark = bytes.rfind(kTrailerMark);
    if (mark == std::string::npos)
        return;
    const size_t first = mark + sizeof(kTrailerMark) - 1;
    const size_t end = bytes.find('\n', first);
    const std::string list = bytes.substr(first, end == std::string::npos ? std::string::npos : end - first);
    _stringx(list.c_str()).split(L';', kr::split_skip_empty, names_);
}

bool STREAM::FindStreamFile(const _stringx& name, StreamFileEntry** entry, DWORD* data_offset)
{
    for (const _stringx& candidate : names_) {
        if (candidate == name) {
            found_.name = candidate;
            if (entry)
                *entry = &found_;
            if (data_offset)
                *data_offset = 0;
            return true;
        }
    }
    return false;
}
