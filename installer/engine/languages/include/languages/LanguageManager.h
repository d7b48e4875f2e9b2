#pragma once

// The suite's languages: the list setup.xml authors the suite for, the choice
// of the one the user interface shows, and one string table per language from
// which user-visible texts are taken by their identifier.

#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "kr/stringx.h"
#include "properties/Properties.h"

using LanguageList = std::vector<LANGID>;

// Pieces between "," read as decimal numbers (low 16 bits); empty pieces skipped.
LanguageList ParseLanguageList(const _stringx& text);
_stringx FormatLanguageList(const LanguageList& languages);

// Where the choice looks after the command line and the installed language.
struct SystemLanguageSources {
    LANGID(WINAPI* userDefault)() = nullptr;
    LANGID(WINAPI* systemDefault)() = nullptr;
    LANGID (*systemUserInterface)() = nullptr;
};
// GetUserDefaultLangID, GetSystemDefaultLangID and kr::get_system_ui_language.
SystemLanguageSources SystemLanguages();

class CLanguageManager : public CProperties {
public:
    explicit CLanguageManager(SystemLanguageSources sources = SystemLanguages());

    void SetAttribute(const _stringx& name, const _stringx& value) override;
    _stringx GetAttribute(const _stringx& name) const override;

    void SetCommandLineLanguage(LANGID language);
    // Selects the first of: command line, installed, user default, system
    // default, system UI language that matches, else the default language.
    void ChooseLanguage(LANGID installed);
    // True when the wanted language, or one of its primary language that is not
    // reserved for exact requests, is a suite language; wanted becomes that one.
    bool MatchLanguage(LANGID& wanted) const;

    // Made empty on first request.
    CProperties& GetStringTable(LANGID language);
    void SelectStringTable();
    // The text of the id in the current table (else the default language's);
    // the id itself when there is none.
    _stringx ResolveString(const _stringx& id);

    const LanguageList& Languages() const noexcept { return m_languages; }
    LANGID SelectedLanguage() const noexcept { return m_selected; }
    LANGID DefaultLanguage() const noexcept { return m_default; }
    LANGID CommandLineLanguage() const noexcept { return m_commandLine; }
    bool ShowLanguageSelection() const noexcept { return m_showSelection; }

private:
    bool IsExactMatchOnly(LANGID language) const;
    void Select(LANGID language);

    SystemLanguageSources m_sources;
    LanguageList m_languages;
    LanguageList m_exactMatch;
    LanguageList m_rightToLeft;
    LANGID m_default = 1033;
    LANGID m_selected = 1033;
    LANGID m_commandLine = 0;
    bool m_showSelection = false;
    std::map<LANGID, std::unique_ptr<CProperties>> m_tables;
    CProperties* m_current = nullptr;
};
