#pragma once

// "Locale": the user and system locales, the system UI language and the ANSI
// code page, as they were when the condition was made.

#include <memory>
#include <vector>

#include "conditions/Condition.h"

class CLocaleCondition : public CCondition {
public:
    // A numeric entry compares (value AND mask); a name entry (value 0) its
    // name, exactly when mask is 0xFFFFFFFF, else as a prefix.
    struct Entry {
        bool numeric = false;
        unsigned value = 0;
        unsigned mask = 0;
        _stringx name;
    };

    // Takes the snapshot of the machine's locale.
    CLocaleCondition();

    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    HRESULT ParseEntries(const _stringx& attribute, std::vector<Entry>& entries) const;
    HRESULT ParseCodePages();
    bool MatchesUserInterface() const;
    bool MatchesSystemLanguage() const;

    std::vector<Entry> m_userInterface;
    std::vector<Entry> m_system;
    std::vector<unsigned> m_codePages;
    LCID m_userLcid = 0;
    LCID m_systemLcid = 0;
    LANGID m_systemUiLanguage = 0;
    UINT m_ansiCodePage = 0;
    _stringx m_userLocaleName;
    _stringx m_systemLocaleName;
    bool m_canVerifyNames = false;
};

std::unique_ptr<CCondition> MakeLocaleCondition();
