// Files by handle with line reading and writing.
#include <windows.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "cvi/Files.h"

namespace {

class FileHandle {
public:
    FileHandle(HANDLE file, bool text) : file_(file), text_(text) {}
    ~FileHandle() { CloseHandle(file_); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;

    // Next byte, or -1 at the end, -2 on an error.
    int NextByte()
    {
        if (position_ == buffer_.size()) {
            buffer_.resize(4096);
            DWORD read = 0;
            if (!ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), &read, nullptr)) {
                buffer_.clear();
                position_ = 0;
                return -2;
            }
            buffer_.resize(read);
            position_ = 0;
            if (read == 0)
                return -1;
        }
        return static_cast<unsigned char>(buffer_[position_++]);
    }

    int ReadLine(char *out, int maxChars)
    {
        int kept = 0;
        bool any = false;
        bool pendingReturn = false;
        for (;;) {
            const int byte = NextByte();
            if (byte == -2)
                return FILE_IO_ERROR;
            if (byte == -1)
                break;
            any = true;
            if (byte == '\n')
                break;
            // In text files a carriage return before the line feed belongs to the line end.
            if (pendingReturn && kept < maxChars)
                out[kept++] = '\r';
            pendingReturn = text_ && byte == '\r';
            if (!pendingReturn && kept < maxChars)
                out[kept++] = static_cast<char>(byte);
        }
        out[kept] = '\0';
        return any ? kept : FILE_END_OF_FILE;
    }

    int WriteLine(const char *text, int count)
    {
        // Bytes read ahead lie before the place the next write belongs to.
        if (position_ < buffer_.size()) {
            LARGE_INTEGER back{};
            back.QuadPart = -static_cast<LONGLONG>(buffer_.size() - position_);
            SetFilePointerEx(file_, back, nullptr, FILE_CURRENT);
        }
        buffer_.clear();
        position_ = 0;
        std::string line(text, static_cast<std::size_t>(count));
        line += text_ ? "\r\n" : "\n";
        DWORD written = 0;
        if (!WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ||
            written != line.size())
            return FILE_IO_ERROR;
        return count;
    }

private:
    HANDLE file_;
    bool text_;
    std::string buffer_;
    std::size_t position_ = 0;
};

class FileTable {
public:
    static FileTable &Instance()
    {
        static FileTable table;
        return table;
    }

    int Add(HANDLE file, bool text)
    {
        const int handle = next_++;
        files_.emplace(handle, std::make_unique<FileHandle>(file, text));
        return handle;
    }
    FileHandle *Find(int handle)
    {
        auto found = files_.find(handle);
        return found == files_.end() ? nullptr : found->second.get();
    }
    bool Remove(int handle) { return files_.erase(handle) != 0; }

private:
    std::map<int, std::unique_ptr<FileHandle>> files_;
    int next_ = 1;
};

int LastErrorResult()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return FILE_NOT_FOUND;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return FILE_ACCESS_DENIED;
    default:
        return FILE_IO_ERROR;
    }
}

} // namespace

int OpenFile(const char *fileName, int action, int mode, int type)
{
    if (!fileName || !*fileName || action < VAL_READ_WRITE || action > VAL_WRITE_ONLY || mode < VAL_TRUNCATE ||
        mode > VAL_OPEN_AS_IS || (type != VAL_BINARY && type != VAL_ASCII))
        return FILE_INVALID_ARGUMENT;
    DWORD access = 0;
    DWORD disposition = OPEN_EXISTING;
    switch (action) {
    case VAL_READ_ONLY: access = GENERIC_READ; break;
    case VAL_WRITE_ONLY: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    if (action != VAL_READ_ONLY)
        disposition = mode == VAL_TRUNCATE ? CREATE_ALWAYS : OPEN_ALWAYS;
    HANDLE file = CreateFileA(fileName, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    if (action != VAL_READ_ONLY && mode == VAL_APPEND)
        SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END);
    return FileTable::Instance().Add(file, type == VAL_ASCII);
}

int CloseFile(int handle)
{
    return FileTable::Instance().Remove(handle) ? 0 : FILE_INVALID_HANDLE;
}

int ReadLine(int handle, char *buffer, int maxChars)
{
    FileHandle *file = FileTable::Instance().Find(handle);
    if (!file)
        return FILE_INVALID_HANDLE;
    if (!buffer || maxChars < 0)
        return FILE_INVALID_ARGUMENT;
    return file->ReadLine(buffer, maxChars);
}

int WriteLine(int handle, const char *buffer, int count)
{
    FileHandle *file = FileTable::Instance().Find(handle);
    if (!file)
        return FILE_INVALID_HANDLE;
    if (!buffer || count < -1)
        return FILE_INVALID_ARGUMENT;
    if (count == -1)
        count = static_cast<int>(std::strlen(buffer));
    return file->WriteLine(buffer, count);
}

int GetFileAttrs(const char *path, int *readOnly, int *system, int *hidden, int *archive)
{
    if (!path || !*path)
        return FILE_INVALID_ARGUMENT;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int result = LastErrorResult();
        return result == FILE_IO_ERROR ? FILE_NOT_FOUND : result;
    }
    if (readOnly)
        *readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (system)
        *system = (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
    if (hidden)
        *hidden = (attributes & FILE_ATTRIBUTE_HIDDEN) != 0;
    if (archive)
        *archive = (attributes & FILE_ATTRIBUTE_ARCHIVE) != 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}
