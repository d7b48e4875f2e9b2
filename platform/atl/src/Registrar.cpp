#include <com/LastError.h>
#include <com/Module.h>
#include <com/Registrar.h>

#include "RegistryScript.h"

#include <string>
#include <vector>

namespace com {
namespace {

// Replaces %NAME% by its value with quotes doubled (the value may stand inside
// a quoted text); %% is a single %.
HRESULT Expand(std::wstring_view script, std::span<const RegistryReplacement> replacements, std::wstring &out)
{
    out.clear();
    out.reserve(script.size());
    size_t pos = 0;
    while (pos < script.size()) {
        size_t mark = script.find(L'%', pos);
        if (mark == std::wstring_view::npos) {
            out.append(script.substr(pos));
            break;
        }
        out.append(script.substr(pos, mark - pos));
        size_t end = script.find(L'%', mark + 1);
        if (end == std::wstring_view::npos) {
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        }
        std::wstring_view name = script.substr(mark + 1, end - mark - 1);
        if (name.empty()) {
            out.push_back(L'%');
        } else {
            const RegistryReplacement *found = nullptr;
            for (const RegistryReplacement &r : replacements) {
                if (r.name == name) {
                    found = &r;
                    break;
                }
            }
            if (!found) {
                return HRESULT_FROM_WIN32(ERROR_ENVVAR_NOT_FOUND);
            }
            for (wchar_t c : found->value) {
                out.push_back(c);
                if (c == L'\'') {
                    out.push_back(L'\'');
                }
            }
        }
        pos = end + 1;
    }
    return S_OK;
}

// Script resources are stored as UTF-16 (with its byte-order mark) or as 8-bit text.
HRESULT DecodeResource(const BYTE *data, DWORD size, std::wstring &text)
{
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        text.assign(reinterpret_cast<const wchar_t *>(data + 2), (size - 2) / sizeof(wchar_t));
        return S_OK;
    }
    if (size == 0) {
        text.clear();
        return S_OK;
    }
    int length = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char *>(data), static_cast<int>(size),
                                     nullptr, 0);
    if (length <= 0) {
        return LastErrorAsHResult();
    }
    text.resize(static_cast<size_t>(length));
    MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char *>(data), static_cast<int>(size), text.data(),
                        length);
    // A resource compiler may pad the data with zeros.
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return S_OK;
}

} // namespace

HRESULT RunRegistryScript(std::wstring_view script, std::span<const RegistryReplacement> replacements,
                          bool registering)
{
    try {
        std::wstring expanded;
        HRESULT hr = Expand(script, replacements, expanded);
        if (FAILED(hr)) {
            return hr;
        }
        std::vector<registry_script::RootNode> roots;
        hr = registry_script::Parse(expanded, roots);
        if (FAILED(hr)) {
            return hr;
        }
        return registry_script::Apply(roots, registering);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RunRegistryScriptResource(HMODULE module, UINT id, std::span<const RegistryReplacement> replacements,
                                  bool registering)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (!found) {
        return LastErrorAsHResult();
    }
    HGLOBAL loaded = LoadResource(module, found);
    const auto *data = loaded ? static_cast<const BYTE *>(LockResource(loaded)) : nullptr;
    if (!data) {
        return LastErrorAsHResult();
    }
    try {
        std::wstring script;
        HRESULT hr = DecodeResource(data, SizeofResource(module, found), script);
        if (FAILED(hr)) {
            return hr;
        }
        std::wstring modulePath = ModuleFileName(module);
        if (modulePath.empty()) {
            return LastErrorAsHResult();
        }
        std::vector<RegistryReplacement> all(replacements.begin(), replacements.end());
        all.push_back({L"MODULE", modulePath});
        return RunRegistryScript(script, all, registering);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

} // namespace com
