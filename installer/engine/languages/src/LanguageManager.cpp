#include "languages/LanguageManager.h"

#include <algorithm>
#include <cwchar>

#include "kr/system_info.h"
#include "kr/trace_log.h"

namespace {

#define LANGUAGE_TRACE(...) TraceFormat({L"LanguageManager", __LINE__}, __VA_ARGS__)

constexpr LANGID kPrimaryMask = 0x3FF;
constexpr LANGID kSubLanguageDefault = 0x400;

// wcstoul in base 10: leading blanks skipped, the digits up to the first
// other character used.
LANGID ReadLanguage(const _stringx& text)
{
    return static_cast<LANGID>(std::wcstoul(text.c_str(), nullptr, 10) & 0xFFFF);
}

bool Contains(const LanguageList& list, LANGID language)
{
    return std::find(list.begin(), list.end(), language) != list.end();
}

void Append(LanguageList& list, const _stringx& text)
{
    for (LANGID language : ParseLanguageList(text))
        list.push_back(language);
}

LANGID SystemUserInterfaceLanguage()
{
    return kr::get_system_ui_language();
}

} // namespace

LanguageList ParseLanguageList(const _stringx& text)
{
    LanguageList languages;
    for (const _stringx& piece : text.split(_stringx(L","))) {
        if (!piece.empty())
            languages.push_back(ReadLanguage(piece));
    }
    return languages;
}

_stringx FormatLanguageList(const LanguageList& languages)
{
    _stringx text;
    for (LANGID language : languages) {
        _stringx number;
        number.format(L"%u", static_cast<unsigned>(language));
        text.append_with_separator(number, L',');
    }
    return text;
}

SystemLanguageSources SystemLanguages()
{
    SystemLanguageSources sources;
    sources.userDefault = GetUserDefaultLangID;
    sources.systemDefault = GetSystemDefaultLangID;
    sources.systemUserInterface = SystemUserInterfaceLanguage;
    return sources;
}

CLanguageManager::CLanguageManager(SystemLanguageSources sources) : m_sources(sources) {}

void CLanguageManager::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Languages") {
        Append(m_languages, value);
    } else if (name == L"KRSelectedLanguage") {
        m_selected = ReadLanguage(value);
        SelectStringTable();
    } else if (name == L"Default") {
        m_default = ReadLanguage(value);
    } else if (name == L"ShowLanguageSelection") {
        m_showSelection = value == L"yes";
    } else if (name == L"RequireExactMatch") {
        Append(m_exactMatch, value);
    } else if (name == L"RTLLangs") {
        Append(m_rightToLeft, value);
    } else {
        CProperties::SetAttribute(name, value);
    }
}

_stringx CLanguageManager::GetAttribute(const _stringx& name) const
{
    _stringx number;
    if (name == L"REVizizLanguages")
        return FormatLanguageList(m_languages);
    if (name == L"KRSelectedLanguage")
        return number.format(L"%d", static_cast<int>(m_selected));
    if (name == L"KRDefaultLanguage")
        return number.format(L"%d", static_cast<int>(m_default));
    if (name == L"KRShowLanguageSelection")
        return _stringx(m_showSelection ? L"true" : L"false");
    if (name == L"KRRTLLangs")
        return FormatLanguageList(m_rightToLeft);
    return CProperties::GetAttribute(name);
}

void CLanguageManager::SetCommandLineLanguage(LANGID language)
{
    LANGUAGE_TRACE(L"Language passed from command line: %d", static_cast<int>(language));
    m_commandLine = language;
}

bool CLanguageManager::IsExactMatchOnly(LANGID language) const
{
    return Contains(m_exactMatch, language);
}

bool CLanguageManager::MatchLanguage(LANGID& wanted) const
{
    if (Contains(m_languages, wanted))
        return true;
    const LANGID primaryDefault = static_cast<LANGID>((wanted & kPrimaryMask) | kSubLanguageDefault);
    if (Contains(m_languages, primaryDefault) && !IsExactMatchOnly(primaryDefault)) {
        wanted = primaryDefault;
        return true;
    }
    for (LANGID language : m_languages) {
        if ((language & kPrimaryMask) == (wanted & kPrimaryMask) && !IsExactMatchOnly(language)) {
            wanted = language;
            return true;
        }
    }
    return false;
}

void CLanguageManager::Select(LANGID language)
{
    m_selected = language;
    SelectStringTable();
}

void CLanguageManager::ChooseLanguage(LANGID installed)
{
    LANGID language = m_commandLine;
    if (MatchLanguage(language)) {
        m_commandLine = language;
        LANGUAGE_TRACE(L"Using command line language %d", static_cast<int>(language));
        m_showSelection = false;
        Select(language);
        return;
    }
    struct Source {
        LANGID language;
        const wchar_t* line;
    };
    const Source sources[] = {
        {installed, L"Using installed language %d"},
        {m_sources.userDefault ? m_sources.userDefault() : LANGID(0), L"Using user default language %d"},
        {m_sources.systemDefault ? m_sources.systemDefault() : LANGID(0), L"Using system default language %d"},
        {m_sources.systemUserInterface ? m_sources.systemUserInterface() : LANGID(0),
         L"Using system default UI language %d"},
    };
    for (const Source& source : sources) {
        language = source.language;
        if (MatchLanguage(language)) {
            LANGUAGE_TRACE(source.line, static_cast<int>(language));
            Select(language);
            return;
        }
    }
    LANGUAGE_TRACE(L"Using default language %d", static_cast<int>(m_default));
    Select(m_default);
}

CProperties& CLanguageManager::GetStringTable(LANGID language)
{
    std::unique_ptr<CProperties>& table = m_tables[language];
    if (!table)
        table = std::make_unique<CProperties>();
    return *table;
}

void CLanguageManager::SelectStringTable()
{
    const auto found = m_tables.find(m_selected);
    m_current = found != m_tables.end() ? found->second.get() : nullptr;
    if (!m_current)
        LANGUAGE_TRACE(L"WARNING: no string table found for language %d", static_cast<int>(m_selected));
}

_stringx CLanguageManager::ResolveString(const _stringx& id)
{
    const CProperties* table = m_current;
    if (!table) {
        LANGUAGE_TRACE(L"No string table currently set, attempting to use temp default of 0x%04x",
                       static_cast<unsigned>(m_default));
        const auto found = m_tables.find(m_default);
        if (found != m_tables.end())
            table = found->second.get();
    }
    const _stringx text = table ? table->GetAttribute(id) : _stringx();
    return text.empty() ? id : text;
}
