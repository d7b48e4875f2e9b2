#include "suite/EngineFaces.h"

#include "kr/file_system.h"

_stringx CMemoryState::Value(const _stringx& section, const _stringx& name) const
{
    const auto found = m_values.find(section);
    if (found == m_values.end())
        return _stringx();
    const auto value = found->second.find(name);
    return value == found->second.end() ? _stringx() : value->second;
}

void CMemoryState::RemoveStagedFiles()
{
    for (const _stringx& path : m_stagedFiles)
        DeleteFileW(path.c_str());
    m_stagedFiles.clear();
    if (m_stagingFolder.empty())
        return;
    // A package program that has just ended may hold the folder as its
    // working folder for a moment longer: the removal is tried again.
    for (int attempt = 0; attempt < 50 && kr::path_test(m_stagingFolder, kr::path_accept_folder); ++attempt) {
        if (kr::delete_tree(m_stagingFolder, false))
            break;
        Sleep(100);
    }
}

bool CMemoryState::IsFileStaged(const _stringx& path) const
{
    for (const _stringx& staged : m_stagedFiles)
        if (staged == path)
            return true;
    return false;
}

_stringx CMemoryState::GetStateKeyPath() const
{
    return _stringx(L"Software\\Korvanstilmer\\SuiteInstallers\\") + m_suiteId;
}

void CMemoryState::SaveCurrentTransaction(int index)
{
    _stringx text;
    SaveValue(L"Properties", L"CurrentTx", text.format(L"%d", index));
}

void CMemoryState::RemoveStateInfo()
{
    if (m_suiteId.empty())
        return;
    HKEY suites = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Korvanstilmer\\SuiteInstallers", 0,
                      KEY_READ | KEY_WRITE, &suites) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(suites, m_suiteId.c_str());
    RegDeleteKeyW(suites, m_suiteId.c_str());
    DWORD subkeys = 0;
    const bool empty = RegQueryInfoKeyW(suites, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                       subkeys == 0;
    RegCloseKey(suites);
    if (empty)
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Korvanstilmer\\SuiteInstallers");
}
