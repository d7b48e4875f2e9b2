#include <com/Module.h>

namespace com {

std::wstring ModuleFileName(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        // Truncated: try again with room to spare.
        path.resize(path.size() * 2);
    }
}

} // namespace com
