#include "UirSource.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "CallbackRegistry.h"
#include "TextTokens.h"

namespace cvi {

namespace {

struct Search {
    std::string wanted;
    std::string found;
};

BOOL CALLBACK MatchResourceName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto *search = reinterpret_cast<Search *>(param);
    if (IS_INTRESOURCE(name))
        return TRUE;
    std::string candidate(name);
    for (char &c : candidate) {
        if (c == ':')
            c = '_';
    }
    if (EqualsNoCase(candidate, search->wanted)) {
        search->found = name;
        return FALSE;
    }
    return TRUE;
}

std::optional<std::string> ReadEmbedded(std::string_view resourceFile)
{
    HMODULE module = GetModuleHandleA(nullptr);
    Search search{std::string(ResourceBaseName(resourceFile)), {}};
    EnumResourceNamesA(module, "UIRFILETYPE", MatchResourceName, reinterpret_cast<LONG_PTR>(&search));
    if (search.found.empty())
        return std::nullopt;
    HRSRC info = FindResourceA(module, search.found.c_str(), "UIRFILETYPE");
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return std::nullopt;
    return std::string(static_cast<const char *>(data), SizeofResource(module, info));
}

} // namespace

std::optional<std::string> ReadUirText(std::string_view resourceFile)
{
    if (auto embedded = ReadEmbedded(resourceFile))
        return embedded;
    std::ifstream file{std::string(resourceFile), std::ios::binary};
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace cvi
