#include "debug_marker.h"

#include <windows.h>

#include <memory>

#include "setup_stream.h"

bool HasDebugMarker()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    const std::unique_ptr<STREAM> stream(new STREAM(_stringx(path, length)));
    if (!stream->IsOpen())
        return false;
    StreamFileEntry* entry = nullptr;
    DWORD offset = 0;
    return stream->FindStreamFile(L"DebugMarker.dat", &entry, &offset);
}
