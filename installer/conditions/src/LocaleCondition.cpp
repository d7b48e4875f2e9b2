#include "conditions/LocaleCondition.h"

#include "conditions/LocaleFunctions.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

constexpr wchar_t kBlanks[] = L"\n\t ";
constexpr unsigned kExact = 0xFFFFFFFF;
// Names longer than this are not locale names.
constexpr int kLocaleNameSize = 85;

_stringx Trimmed(_stringx text)
{
    text.trim(kBlanks);
    return text;
}

// A whole unsigned number, hexadecimal after "0x".
bool ReadNumber(const _stringx& item, unsigned* value)
{
    const bool hex = item.length() > 2 && item[0] == L'0' && (item[1] == L'x' || item[1] == L'X');
    if (item.empty() || item[0] < L'0' || item[0] > L'9')
        return false;
    unsigned long number = 0;
    if (!item.to_ulong(number, hex ? 16 : 10))
        return false;
    *value = static_cast<unsigned>(number);
    return true;
}

bool IsNameCharacter(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || ch == L'-' || ch == L'*';
}

_stringx LocaleName(int(WINAPI* query)(LPWSTR, int))
{
    wchar_t name[kLocaleNameSize] = {};
    if (!query || query(name, kLocaleNameSize) <= 0)
        return _stringx();
    name[kLocaleNameSize - 1] = 0;
    return _stringx(name);
}

bool NameMatches(const CLocaleCondition::Entry& entry, const _stringx& localeName)
{
    if (entry.mask == kExact)
        return localeName == entry.name;
    return localeName.starts_with(entry.name);
}

bool NumberMatches(const CLocaleCondition::Entry& entry, unsigned actual)
{
    return (entry.value & entry.mask) == (actual & entry.mask);
}

} // namespace

CLocaleCondition::CLocaleCondition()
{
    const LocaleFunctions& locale = CurrentLocaleFunctions();
    m_userLcid = locale.userDefaultLcid ? locale.userDefaultLcid() : 0;
    m_systemLcid = locale.systemDefaultLcid ? locale.systemDefaultLcid() : 0;
    m_systemUiLanguage = locale.systemDefaultUiLanguage ? locale.systemDefaultUiLanguage() : 0;
    m_ansiCodePage = locale.ansiCodePage ? locale.ansiCodePage() : 0;
    m_userLocaleName = LocaleName(locale.userDefaultLocaleName);
    m_systemLocaleName = LocaleName(locale.systemDefaultLocaleName);
    m_canVerifyNames = locale.systemDefaultLocaleName != nullptr;
}

// An empty item (or an empty attribute) adds no entry: as a name entry it
// would be the empty prefix, which every locale matches.
HRESULT CLocaleCondition::ParseEntries(const _stringx& attribute, std::vector<Entry>& entries) const
{
    entries.clear();
    const _stringx text = ReadAttribute(attribute);
    if (text.empty())
        return S_OK;
    for (const _stringx& piece : text.split(_stringx(L","))) {
        _stringx item = Trimmed(piece);
        wchar_t modifier = 0;
        if (!item.empty() && (item[0] == L'~' || item[0] == L'=')) {
            modifier = item[0];
            item = Trimmed(item.substr(1));
        }
        if (item.empty())
            continue;

        Entry entry;
        if (ReadNumber(item, &entry.value)) {
            entry.numeric = true;
            if (modifier == L'~')
                entry.mask = 0xFF;
            else if (modifier == L'=')
                entry.mask = kExact;
            else
                entry.mask = entry.value < 0x100 ? 0xFF : entry.value < 0x10000 ? 0xFFFF : kExact;
            entries.push_back(entry);
            continue;
        }
        for (size_t i = 0; i < item.length(); ++i) {
            if (!IsNameCharacter(item[i])) {
                CONDITION_TRACE(L"Locale: invalid %s language value '%s'", attribute.c_str(), Trimmed(piece).c_str());
                return E_INVALIDARG;
            }
        }
        if (!m_canVerifyNames) {
            CONDITION_TRACE(L"Locale: ignoring presumed %s locale name '%s'; cannot verify on this system",
                            attribute.c_str(), item.c_str());
            continue;
        }
        const size_t star = item.find(L'*');
        entry.name = star == _stringx::npos ? item : item.substr(0, star);
        entry.mask = modifier == L'=' && !item.ends_with_char(L'*') ? kExact : 0;
        entries.push_back(entry);
    }
    return S_OK;
}

HRESULT CLocaleCondition::ParseCodePages()
{
    m_codePages.clear();
    const _stringx text = ReadAttribute(L"CodePage");
    if (text.empty())
        return S_OK;
    for (const _stringx& piece : text.split(_stringx(L","))) {
        unsigned codePage = 0;
        if (!ReadNumber(Trimmed(piece), &codePage)) {
            CONDITION_TRACE(L"Locale: invalid %s value '%s'", L"CodePage", Trimmed(piece).c_str());
            m_codePages.clear();
            return E_INVALIDARG;
        }
        m_codePages.push_back(codePage);
    }
    return S_OK;
}

HRESULT CLocaleCondition::Validate()
{
    HRESULT hr = ParseEntries(L"UI", m_userInterface);
    if (SUCCEEDED(hr))
        hr = ParseEntries(L"OS", m_system);
    if (SUCCEEDED(hr))
        hr = ParseCodePages();
    if (FAILED(hr))
        return hr;
    if (m_userInterface.empty() && m_system.empty() && m_codePages.empty())
        return E_INVALIDARG;
    return S_OK;
}

bool CLocaleCondition::MatchesUserInterface() const
{
    if (m_userInterface.empty())
        return true;
    for (const Entry& entry : m_userInterface) {
        if (entry.numeric) {
            if (NumberMatches(entry, m_userLcid) || NumberMatches(entry, m_systemLcid))
                return true;
        } else if (NameMatches(entry, m_userLocaleName) || NameMatches(entry, m_systemLocaleName)) {
            return true;
        }
    }
    return false;
}

bool CLocaleCondition::MatchesSystemLanguage() const
{
    if (m_system.empty())
        return true;
    for (const Entry& entry : m_system) {
        if (entry.numeric && NumberMatches(entry, m_systemUiLanguage))
            return true;
    }
    return false;
}

HRESULT CLocaleCondition::Evaluate(bool* result)
{
    bool codePage = m_codePages.empty();
    for (unsigned listed : m_codePages)
        codePage = codePage || listed == m_ansiCodePage;
    *result = MatchesUserInterface() && MatchesSystemLanguage() && codePage;
    return S_OK;
}

std::unique_ptr<CCondition> MakeLocaleCondition()
{
    return std::make_unique<CLocaleCondition>();
}
