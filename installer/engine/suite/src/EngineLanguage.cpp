// The engine's language: the choice made at start-up and the string ids
// resolved through the language manager; the Windows version the conditions
// share.

#include "suite/SetupEngine.h"

OSVERSIONINFOEXW const& CSetupEngine::OsVersionInfo()
{
    // Read once, by the first user that finds it empty.
    if (m_osVersion.dwOSVersionInfoSize == 0) {
        m_osVersion.dwOSVersionInfoSize = sizeof(m_osVersion);
        if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&m_osVersion)))
            m_osVersion = OSVERSIONINFOEXW{};
    }
    return m_osVersion;
}

void CSetupEngine::ChooseSuiteLanguage(LANGID installedLanguage)
{
    m_languages.ChooseLanguage(installedLanguage);
    _stringx number;
    number.format(L"%u", static_cast<unsigned>(m_languages.SelectedLanguage()));
    SetProperty(L"KRSelectedLanguage", number, false);
    m_savedState.SaveProperty(L"KRSelectedLanguage", number);
}
