#include "kr/file_replace.h"

#include "kr/file.h"
#include "kr/win32_exception.h"

namespace kr {

namespace {

// A new, empty file with a unique name in the target's folder.
DWORD create_file_beside(const _stringx& path, _stringx& created)
{
    _stringx folder = path.path_folder(true);
    if (folder.empty())
        folder = L".";
    wchar_t name[MAX_PATH] = {};
    if (!GetTempFileNameW(folder.c_str(), L"_kr", 0, name))
        return GetLastError();
    created = name;
    return 0;
}

// 0 or the error of opening; a failed write throws. The contents reach the
// disk before the file is closed.
DWORD write_whole_file(const _stringx& path, std::string_view bytes)
{
    file target;
    const DWORD opened = target.open(path, GENERIC_WRITE, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS);
    if (opened != 0)
        return opened;
    if (!bytes.empty() && target.write(bytes.data(), static_cast<DWORD>(bytes.size())) != bytes.size())
        throw file_exception(path, ERROR_WRITE_FAULT);
    if (!FlushFileBuffers(target.handle()))
        throw file_exception(path);
    target.close();
    return 0;
}

} // namespace

DWORD replace_file_contents(const _stringx& path, std::string_view bytes)
{
    _stringx temporary;
    const DWORD made = create_file_beside(path, temporary);
    if (made != 0)
        return made;

    DWORD result = 0;
    try {
        result = write_whole_file(temporary, bytes);
    } catch (const file_exception& failure) {
        DeleteFileW(temporary.c_str());
        throw file_exception(path, failure.code());
    }
    if (result == 0 &&
        !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = GetLastError();
    if (result != 0)
        DeleteFileW(temporary.c_str());
    return result;
}

} // namespace kr
