#include "FileReplace.h"

#include <windows.h>

#include <algorithm>

namespace cvi {

bool ReplaceFileContents(const std::string &path, std::string_view bytes)
{
    // A folder of the target's name must stay as it is.
    const DWORD existing = GetFileAttributesA(path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const std::string temporary = path + ".new~";
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = true;
    std::size_t offset = 0;
    while (written && offset < bytes.size()) {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - offset, 1u << 20));
        written = WriteFile(file, bytes.data() + offset, chunk, &done, nullptr) && done == chunk;
        offset += done;
    }
    written = FlushFileBuffers(file) && written;
    CloseHandle(file);
    if (written && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

} // namespace cvi
