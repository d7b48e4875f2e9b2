#pragma once

// The suite's table of Windows optional features (setup.xml's
// "WindowsFeaturesDefinitions"): for each item and each Windows version and
// edition the optional-feature names it stands for, and the items it depends
// on. A parcel's WindowsFeatures list of item names is resolved here into the
// feature names for the running system.

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "kr/stringx.h"

// Keys of a system: major * 100 + minor, bit 31 a server edition, bits 31 and
// 30 a Server Core installation; kAllOSKey is any system ("ItemAllOS").
constexpr DWORD kServerKey = 0x80000000;
constexpr DWORD kServerCoreKey = 0xC0000000;
constexpr DWORD kAllOSKey = 0xFFFFFFFF;

// The key of the running system, from the engine's Windows version.
DWORD GetOSFeatureKey();
// Server Core without its graphical shell, read from the 64-bit registry view.
bool IsServerCore();
// How GetOSFeatureKey asks for the product type of a server before 6.2;
// tests put a scripted one in place. Returns the one before; null restores
// the look-up in kernel32.
using ProductInfoLookup = BOOL(WINAPI*)(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor, DWORD* type);
ProductInfoLookup SetProductInfoLookup(ProductInfoLookup lookup);

// "0601 (Server Core)", as the log shows a key.
_stringx DescribeOSFeatureKey(DWORD key);
// Entries joined with ";" where the text so far does not already end with one.
_wstringx JoinFeatureList(const std::vector<_wstringx>& entries);

class CWindowsFeatureItemOSDefinition {
public:
    explicit CWindowsFeatureItemOSDefinition(DWORD key) noexcept : m_key(key) {}
    virtual ~CWindowsFeatureItemOSDefinition() = default;

    DWORD Key() const noexcept { return m_key; }
    const _wstringx& Features() const noexcept { return m_features; }
    void SetFeatures(const _wstringx& features) { m_features = features; }

private:
    DWORD m_key;
    _wstringx m_features;
};

class CWindowsFeatureDefinition;

class CWindowsFeatureItem {
public:
    explicit CWindowsFeatureItem(CWindowsFeatureDefinition& owner) noexcept : m_owner(owner) {}
    virtual ~CWindowsFeatureItem() = default;
    CWindowsFeatureItem(const CWindowsFeatureItem&) = delete;
    CWindowsFeatureItem& operator=(const CWindowsFeatureItem&) = delete;

    // The definition for the system the element name stands for; an existing
    // one is kept (a later element's text replaces its list).
    CWindowsFeatureItemOSDefinition& AddOSDefinition(const _wstringx& elementName);
    // The element's text at its end.
    void SetFeatureList(const _wstringx& elementName, const _wstringx& features);
    void AddDependencies(const std::vector<_wstringx>& names);

    // None for a missing key (then "ItemAllOS" stands in) or an empty list,
    // which sets emptyList.
    CWindowsFeatureItemOSDefinition* FindDefinition(DWORD key, bool& emptyList);
    // The item's features behind those of its not yet visited dependencies
    // (one level); marks what it used as visited.
    _wstringx ResolveText(DWORD key, bool& emptyList);
    bool IsVisited() const noexcept { return m_visited; }

private:
    std::map<DWORD, CWindowsFeatureItemOSDefinition> m_definitions;
    std::vector<_wstringx> m_dependencies;
    bool m_visited = false;
    CWindowsFeatureDefinition& m_owner;
};

class CWindowsFeatureDefinition {
public:
    CWindowsFeatureDefinition() = default;
    virtual ~CWindowsFeatureDefinition() = default;
    CWindowsFeatureDefinition(const CWindowsFeatureDefinition&) = delete;
    CWindowsFeatureDefinition& operator=(const CWindowsFeatureDefinition&) = delete;

    // Made empty when there is none of that name.
    CWindowsFeatureItem& GetItem(const _wstringx& name);
    // Logs an unknown name.
    CWindowsFeatureItem* FindItem(const _wstringx& name);

    // The final list for the running system.
    _wstringx GetFeatureList(const _wstringx& initial);
    _wstringx GetFeatureList(const _wstringx& initial, DWORD key);
    void ResolveItem(const _wstringx& name, DWORD key, std::vector<_wstringx>& list);

private:
    struct ExactLess {
        bool operator()(const _wstringx& a, const _wstringx& b) const noexcept { return a.compare(b) < 0; }
    };
    std::map<_wstringx, std::unique_ptr<CWindowsFeatureItem>, ExactLess> m_items;
};
