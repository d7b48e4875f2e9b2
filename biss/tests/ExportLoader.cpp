#include "ExportLoader.h"

namespace ferrolink_test {

HMODULE FerrolinkModule()
{
    static HMODULE module = [] {
        HMODULE loaded = LoadLibraryA("ferrolink.dll");
        if (loaded == nullptr)
            throw std::runtime_error("ferrolink.dll does not load");
        return loaded;
    }();
    return module;
}

} // namespace ferrolink_test
