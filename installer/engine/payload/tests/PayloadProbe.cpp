// A program that carries a setup stream behind its own image, as the launcher
// does: "payload_probe NAME TARGET" extracts the named file from its own
// program file. Exit code 0 on success, 1 when the extraction fails, 2 for a
// wrong command line.

#include "payload/Stream.h"

#include <windows.h>

#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return 1;
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    STREAM stream(path.data());
    return stream.ExtractStreamFile(argv[1], argv[2], nullptr) == 1 ? 0 : 1;
}
