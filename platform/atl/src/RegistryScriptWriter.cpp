#include "RegistryScript.h"

namespace com::registry_script {
namespace {

class Key {
public:
    Key() = default;
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key()
    {
        if (h_) {
            RegCloseKey(h_);
        }
    }
    HKEY *Put() { return &h_; }
    HKEY Get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

HRESULT FromStatus(LONG status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

bool IsMissing(LONG status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

LONG SetText(HKEY key, const wchar_t *name, const std::wstring &text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

HRESULT Write(HKEY parent, const KeyNode &node)
{
    if (node.removal == Removal::ForceRemove) {
        LONG status = RegDeleteTreeW(parent, node.name.c_str());
        if (status != ERROR_SUCCESS && !IsMissing(status)) {
            return FromStatus(status);
        }
    }
    Key key;
    LONG status = RegCreateKeyExW(parent, node.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS) {
        return FromStatus(status);
    }
    if (node.defaultText) {
        status = SetText(key.Get(), nullptr, *node.defaultText);
        if (status != ERROR_SUCCESS) {
            return FromStatus(status);
        }
    }
    for (const NamedValue &value : node.values) {
        status = SetText(key.Get(), value.name.c_str(), value.text);
        if (status != ERROR_SUCCESS) {
            return FromStatus(status);
        }
    }
    for (const KeyNode &child : node.children) {
        HRESULT hr = Write(key.Get(), child);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

HRESULT Remove(HKEY parent, const KeyNode &node)
{
    if (node.removal == Removal::ForceRemove) {
        LONG status = RegDeleteTreeW(parent, node.name.c_str());
        return IsMissing(status) ? S_OK : FromStatus(status);
    }
    DWORD subkeys = 0;
    {
        Key key;
        LONG status = RegOpenKeyExW(parent, node.name.c_str(), 0, KEY_READ | KEY_WRITE, key.Put());
        if (IsMissing(status)) {
            return S_OK;
        }
        if (status != ERROR_SUCCESS) {
            return FromStatus(status);
        }
        for (const KeyNode &child : node.children) {
            HRESULT hr = Remove(key.Get(), child);
            if (FAILED(hr)) {
                return hr;
            }
        }
        if (node.removal == Removal::NoRemove) {
            return S_OK;
        }
        status = RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            return FromStatus(status);
        }
    }
    // Keys that others filled stay; ours go with their values.
    if (subkeys != 0) {
        return S_OK;
    }
    LONG status = RegDeleteKeyW(parent, node.name.c_str());
    return IsMissing(status) ? S_OK : FromStatus(status);
}

} // namespace

HRESULT Apply(const std::vector<RootNode> &roots, bool registering)
{
    for (const RootNode &root : roots) {
        for (const KeyNode &key : root.keys) {
            HRESULT hr = registering ? Write(root.root, key) : Remove(root.root, key);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

} // namespace com::registry_script
