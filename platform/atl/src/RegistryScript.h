// The parsed form of a registry script (see com/Registrar.h) and the two
// steps that work on it: reading the text and applying it to the registry.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace com::registry_script {

enum class Removal { Normal, NoRemove, ForceRemove };

struct NamedValue {
    std::wstring name;
    std::wstring text;
};

struct KeyNode {
    std::wstring name;
    Removal removal = Removal::Normal;
    std::optional<std::wstring> defaultText;
    std::vector<NamedValue> values;
    std::vector<KeyNode> children;
};

struct RootNode {
    HKEY root = nullptr;
    std::vector<KeyNode> keys;
};

// Reads an expanded script (replacements already made). Fails with
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA) on malformed text.
HRESULT Parse(std::wstring_view text, std::vector<RootNode> &roots);

// Writes (registering) or removes the keys; stops at the first failure.
HRESULT Apply(const std::vector<RootNode> &roots, bool registering);

} // namespace com::registry_script
