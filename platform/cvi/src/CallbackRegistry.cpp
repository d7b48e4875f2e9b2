#include "CallbackRegistry.h"

#include <string>
#include <vector>

#include "TextTokens.h"

namespace cvi {

namespace {

struct RegisteredTable {
    std::string resourceFile;
    const UirCallbackBinding *bindings;
    std::size_t count;
};

// Filled by static registration objects before main, so it must exist on first use.
std::vector<RegisteredTable> &Tables()
{
    static std::vector<RegisteredTable> tables;
    return tables;
}

} // namespace

std::string_view ResourceBaseName(std::string_view resourceFile)
{
    const std::size_t slash = resourceFile.find_last_of("\\/");
    return slash == std::string_view::npos ? resourceFile : resourceFile.substr(slash + 1);
}

UirCallbackRegistration::UirCallbackRegistration(const char *resourceFile,
                                                 const UirCallbackBinding *bindings,
                                                 std::size_t count)
    : resourceFile_(resourceFile)
{
    Tables().push_back({std::string(ResourceBaseName(resourceFile)), bindings, count});
}

UirCallbackRegistration::~UirCallbackRegistration()
{
    auto &tables = Tables();
    const std::string_view name = ResourceBaseName(resourceFile_);
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        if (it->resourceFile == name) {
            tables.erase(it);
            break;
        }
    }
}

const UirCallbackBinding *FindUirCallback(std::string_view resourceFile, std::string_view name)
{
    const std::string_view file = ResourceBaseName(resourceFile);
    for (const RegisteredTable &table : Tables()) {
        if (!EqualsNoCase(table.resourceFile, file))
            continue;
        for (std::size_t i = 0; i < table.count; ++i) {
            if (name == table.bindings[i].name)
                return &table.bindings[i];
        }
    }
    return nullptr;
}

} // namespace cvi
