#include "debug_marker.h"

#include <windows.h>

#include <memory>

#include "payload/Stream.h"

bool HasDebugMarker()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    const auto stream = std::make_unique<STREAM>(_stringx(path, length));
    if (!stream->is_open())
        return false;
    const StreamFileEntry* entry = nullptr;
    DWORD data_offset = 0;
    return stream->FindStreamFile(L"DebugMarker.dat", entry, data_offset);
}
