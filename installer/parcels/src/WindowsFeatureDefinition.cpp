#include "parcels/WindowsFeatureDefinition.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <set>

#include "conditions/SetupEngine.h"
#include "kr/registry.h"
#include "kr/trace_log.h"

#define FEATURES_SOURCE TraceSource{L"WindowsFeatures", __LINE__}

namespace {

constexpr DWORD kFirstServerCoreQueryVersion = 602;
constexpr wchar_t kServerLevels[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Server\\ServerLevels";
// Product types of Server Core installations.
constexpr DWORD kServerCoreProducts[] = {0x0C, 0x0D, 0x0E, 0x1D, 0x27, 0x28, 0x29, 0x2C, 0x2D, 0x2E, 0x35, 0x3F};

ProductInfoLookup g_productInfo = nullptr;

BOOL QueryProductInfo(DWORD major, DWORD minor, DWORD* type)
{
    if (g_productInfo)
        return g_productInfo(major, minor, 0, 0, type);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto lookup = kernel ? reinterpret_cast<ProductInfoLookup>(
                                     reinterpret_cast<void*>(GetProcAddress(kernel, "GetProductInfo")))
                               : nullptr;
    return lookup ? lookup(major, minor, 0, 0, type) : FALSE;
}

// The texts of a list: empty pieces between separators are kept, an empty last piece is not.
std::vector<_wstringx> SplitFeatureList(const _wstringx& text)
{
    std::vector<_wstringx> pieces;
    if (!text.empty())
        text.split(L';', 0, pieces);
    return pieces;
}

bool BeginsWith(const _wstringx& text, const wchar_t* prefix)
{
    return text.starts_with(_wstringx(prefix));
}

// The key an OS-definition element name stands for; logs a name it cannot read when asked.
DWORD KeyOfElement(const _wstringx& name, bool log)
{
    if (name == L"ItemAllOS")
        return kAllOSKey;
    DWORD base = 0;
    size_t versionAt = name.length();
    if (BeginsWith(name, L"ServerCore_")) {
        base = kServerCoreKey;
        versionAt = 11;
    } else if (BeginsWith(name, L"Server_")) {
        base = kServerKey;
        versionAt = 7;
    } else if (BeginsWith(name, L"Client_")) {
        versionAt = 7;
    } else if (log) {
        TraceFormat(FEATURES_SOURCE, L"Unknown Windows feature definition type: '%s'", name.c_str());
    }
    const _wstringx version = name.substr(versionAt);
    const wchar_t* start = version.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const long number = std::wcstol(start, &end, 10);
    if (end == start || *end != L'\0' || errno == ERANGE) {
        if (log)
            TraceFormat(FEATURES_SOURCE, L"Invalid feature version definition: '%s'", name.c_str());
        return base;
    }
    return base | static_cast<DWORD>(number);
}

} // namespace

ProductInfoLookup SetProductInfoLookup(ProductInfoLookup lookup)
{
    const ProductInfoLookup before = g_productInfo;
    g_productInfo = lookup;
    return before;
}

bool IsServerCore()
{
    constexpr REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;
    const DWORD core = kr::reg_read_dword(HKEY_LOCAL_MACHINE, kServerLevels, L"ServerCore", 0, kRead64);
    const DWORD shell = kr::reg_read_dword(HKEY_LOCAL_MACHINE, kServerLevels, L"Server-Gui-Shell", 0, kRead64);
    return core == 1 && shell == 0;
}

DWORD GetOSFeatureKey()
{
    ISetupEngine* engine = SetupEngine();
    OSVERSIONINFOEXW own = {};
    if (!engine) {
        own.dwOSVersionInfoSize = sizeof(own);
        GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&own));
    }
    const OSVERSIONINFOEXW& os = engine ? engine->OsVersionInfo() : own;
    const DWORD key = os.dwMajorVersion * 100 + os.dwMinorVersion;
    // Workstations and domain controllers count as clients.
    if (os.wProductType != VER_NT_SERVER)
        return key;
    if (key >= kFirstServerCoreQueryVersion)
        return key | (IsServerCore() ? kServerCoreKey : kServerKey);
    DWORD type = 0;
    if (QueryProductInfo(os.dwMajorVersion, os.dwMinorVersion, &type)) {
        for (DWORD core : kServerCoreProducts)
            if (type == core)
                return key | kServerCoreKey;
    }
    return key | kServerKey;
}

_stringx DescribeOSFeatureKey(DWORD key)
{
    const wchar_t* kind = (key & 0x40000000) ? L"Server Core" : (key & kServerKey) ? L"Server" : L"Client";
    _stringx text;
    text.format(L"%04d (%s)", static_cast<int>(key & 0xFFFF), kind);
    return text;
}

_wstringx JoinFeatureList(const std::vector<_wstringx>& entries)
{
    _wstringx joined;
    joined.join(entries, L';');
    return joined;
}

CWindowsFeatureItemOSDefinition& CWindowsFeatureItem::AddOSDefinition(const _wstringx& elementName)
{
    const DWORD key = KeyOfElement(elementName, true);
    return m_definitions.try_emplace(key, key).first->second;
}

void CWindowsFeatureItem::SetFeatureList(const _wstringx& elementName, const _wstringx& features)
{
    const DWORD key = KeyOfElement(elementName, false);
    m_definitions.try_emplace(key, key).first->second.SetFeatures(features);
}

void CWindowsFeatureItem::AddDependencies(const std::vector<_wstringx>& names)
{
    m_dependencies.insert(m_dependencies.end(), names.begin(), names.end());
}

CWindowsFeatureItemOSDefinition* CWindowsFeatureItem::FindDefinition(DWORD key, bool& emptyList)
{
    const auto found = m_definitions.find(key);
    if (found != m_definitions.end()) {
        if (!found->second.Features().empty())
            return &found->second;
        emptyList = true;
        return nullptr;
    }
    const auto any = m_definitions.find(kAllOSKey);
    return any != m_definitions.end() ? &any->second : nullptr;
}

_wstringx CWindowsFeatureItem::ResolveText(DWORD key, bool& emptyList)
{
    CWindowsFeatureItemOSDefinition* own = FindDefinition(key, emptyList);
    if (!own)
        return _wstringx();
    std::vector<_wstringx> dependencyTexts;
    for (const _wstringx& name : m_dependencies) {
        CWindowsFeatureItem* dependency = m_owner.FindItem(name);
        if (!dependency || dependency->m_visited)
            continue;
        CWindowsFeatureItemOSDefinition* definition = dependency->FindDefinition(key, emptyList);
        if (!definition)
            continue;
        dependencyTexts.push_back(definition->Features());
        dependency->m_visited = true;
    }
    m_visited = true;
    const _wstringx dependencyText = JoinFeatureList(dependencyTexts);
    if (dependencyText.empty())
        return own->Features();
    return dependencyText + L";" + own->Features();
}

CWindowsFeatureItem& CWindowsFeatureDefinition::GetItem(const _wstringx& name)
{
    std::unique_ptr<CWindowsFeatureItem>& item = m_items[name];
    if (!item)
        item = std::make_unique<CWindowsFeatureItem>(*this);
    return *item;
}

CWindowsFeatureItem* CWindowsFeatureDefinition::FindItem(const _wstringx& name)
{
    const auto found = m_items.find(name);
    if (found == m_items.end()) {
        TraceFormat(FEATURES_SOURCE, L"Unknown Windows feature dependency: %s", name.c_str());
        return nullptr;
    }
    return found->second.get();
}

void CWindowsFeatureDefinition::ResolveItem(const _wstringx& name, DWORD key, std::vector<_wstringx>& list)
{
    const auto found = m_items.find(name);
    if (found == m_items.end()) {
        list.push_back(name);
        return;
    }
    bool emptyList = false;
    const _wstringx text = found->second->ResolveText(key, emptyList);
    if (!text.empty())
        list.push_back(text);
    else if (!emptyList)
        list.push_back(name);
}

_wstringx CWindowsFeatureDefinition::GetFeatureList(const _wstringx& initial)
{
    if (initial.empty())
        return _wstringx();
    TraceFormat(FEATURES_SOURCE, L"Getting feature list for initial feature items '%s'", initial.c_str());
    const DWORD key = GetOSFeatureKey();
    return GetFeatureList(initial, key);
}

_wstringx CWindowsFeatureDefinition::GetFeatureList(const _wstringx& initial, DWORD key)
{
    if (initial.empty())
        return _wstringx();
    TraceFormat(FEATURES_SOURCE, L"Getting feature items for OS version %s", DescribeOSFeatureKey(key).c_str());
    std::vector<_wstringx> list;
    for (const _wstringx& name : SplitFeatureList(initial))
        ResolveItem(name, key, list);

    std::set<_wstringx, ExactLess> seen;
    std::vector<_wstringx> kept;
    for (const _wstringx& entry : list) {
        std::vector<_wstringx> pieces;
        for (const _wstringx& piece : SplitFeatureList(entry))
            if (seen.insert(piece).second)
                pieces.push_back(piece);
        if (!pieces.empty())
            kept.push_back(JoinFeatureList(pieces));
    }
    const _wstringx result = JoinFeatureList(kept);
    TraceFormat(FEATURES_SOURCE, L"Final feature list for current item is: %s", result.c_str());
    return result;
}
