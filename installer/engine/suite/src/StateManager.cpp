#include "suite/StateManager.h"

#include "kr/file_system.h"
#include "kr/holders.h"
#include "kr/registry.h"
#include "kr/temp_folders.h"
#include "kr/trace_log.h"

#define STATE_TRACE(...) TraceFormat({L"StateManager", __LINE__}, __VA_ARGS__)

namespace {

constexpr wchar_t kInfoPath[] = L"InfoPath";
constexpr wchar_t kSeparator[] = L"=";
constexpr wchar_t kProperties[] = L"Properties";
constexpr wchar_t kFiles[] = L"Files";
constexpr wchar_t kParcelPrefix[] = L"Parcel_";
constexpr wchar_t kFeaturePrefix[] = L"Feature_";
constexpr int kUtf16 = 1200;

// The folder part of a path with its trailing backslash; empty without one.
_stringx FolderOf(const _stringx& path)
{
    const size_t slash = path.rfind(L"\\");
    return slash == _stringx::npos ? _stringx() : path.substr(0, slash + 1);
}

_stringx Number(int value)
{
    _stringx text;
    return text.format(L"%d", value);
}

} // namespace

int CStateManager::LoadState(const _stringx& suiteId)
{
    m_existingState = false;
    m_suiteId = suiteId;
    if (m_suiteId.empty())
        return -1;
    m_stateKeyPath = _stringx(kSuitesKey) + L"\\" + m_suiteId;
    m_stagedFiles.clear();

    if (!kr::reg_key_exists(HKEY_CURRENT_USER, m_stateKeyPath)) {
        STATE_TRACE(L"State manager: no existing state information found, creating new state");
        StartNewStateFile();
        return 0;
    }

    STATE_TRACE(L"State manager: registry indicates existing state info");
    const _stringx path = kr::reg_read_string(HKEY_CURRENT_USER, m_stateKeyPath, kInfoPath, _stringx(),
                                              KEY_READ | KEY_WRITE);
    const _stringx folder = FolderOf(path);
    if (path.empty() || folder.empty() || !kr::path_test(folder, kr::path_accept_folder)) {
        // Saves into a folder that is gone would all fail: the state starts
        // afresh in this run's folder, as a first run's does.
        STATE_TRACE(L"State manager: state info not found");
        StartNewStateFile();
        return 0;
    }
    if (!kr::path_test(path, kr::path_accept_file)) {
        STATE_TRACE(L"State manager: state info not found");
        StartEmptyState(path);
        return 0;
    }
    if (!m_file.load(path, kSeparator, false)) {
        STATE_TRACE(L"State manager: invalid or corrupted state info");
        StartEmptyState(path);
        return 0;
    }
    m_stateFilePath = path;
    m_suiteFolder = folder;
    m_existingState = true;
    return 0;
}

void CStateManager::StartEmptyState(const _stringx& path)
{
    m_file.clear();
    m_file.set_file(path, kSeparator);
    m_stateFilePath = path;
}

// A new "_kr" name in the suite folder, written to the key as "InfoPath";
// the file itself comes with the first save.
void CStateManager::StartNewStateFile()
{
    const _stringx path = kr::get_temp_file_name(m_suiteFolder, _stringx(), true);
    DeleteFileW(path.c_str());
    StartEmptyState(path);
    if (kr::reg_create_key(HKEY_CURRENT_USER, m_stateKeyPath))
        kr::reg_write_string(HKEY_CURRENT_USER, m_stateKeyPath, kInfoPath, path);
}

void CStateManager::ReloadState(IStateTargets& targets)
{
    STATE_TRACE(L"%s", m_existingState ? L"State manager: reloading existing state"
                                       : L"State manager: no existing state to reload");
    kr::stringx_vector sections;
    m_file.get_section_names(sections);
    for (const _stringx& section : sections) {
        kr::stringx_vector keys;
        m_file.get_keys(section, keys);
        if (section.starts_with(kParcelPrefix)) {
            if (IStateObject* parcel = targets.ParcelStateObject(section.substr(wcslen(kParcelPrefix))))
                RestoreSection(*parcel, section, keys);
        } else if (section.starts_with(kFeaturePrefix)) {
            if (IStateObject* feature = targets.FeatureStateObject(section.substr(wcslen(kFeaturePrefix))))
                RestoreSection(*feature, section, keys);
        } else if (section == kProperties) {
            RestoreSection(targets.EngineStateObject(), section, keys);
        } else if (section == kFiles) {
            for (const _stringx& key : keys)
                m_stagedFiles[key] = CStateEntry(key, m_file.get_string(section, key, _stringx())).GetBool();
        }
    }
    STATE_TRACE(L"State manager: finished reloading state");
}

void CStateManager::RestoreSection(IStateObject& object, const _stringx& section, const kr::stringx_vector& keys)
{
    for (const _stringx& key : keys)
        object.LoadStateValue(CStateEntry(key, m_file.get_string(section, key, _stringx())));
}

// A failed save keeps its error in the file object; the values stay in memory.
void CStateManager::Save()
{
    m_file.save(inifilex::use_given_encoding, kUtf16, true);
}

void CStateManager::SaveValue(const _stringx& section, const _stringx& name, const _stringx& value)
{
    m_file.set_string(section, name, value);
    Save();
}

_stringx CStateManager::Value(const _stringx& section, const _stringx& name) const
{
    return m_file.get_string(section, name, _stringx());
}

void CStateManager::SaveProperty(const _stringx& name, const _stringx& value)
{
    SaveValue(kProperties, name, value);
}

void CStateManager::SaveParcelValue(const _stringx& parcelId, const _stringx& name, const _stringx& value)
{
    SaveValue(_stringx(kParcelPrefix) + parcelId, name, value);
}

void CStateManager::SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete)
{
    const _stringx section = _stringx(kParcelPrefix) + parcelId;
    m_file.set_string(section, L"Action", Number(action));
    m_file.set_string(section, L"Detect", Number(detected));
    m_file.set_string(section, L"Complete", complete ? L"Yes" : L"No");
    Save();
}

void CStateManager::SaveFeatureState(const _stringx& featureName, int action, int detected)
{
    const _stringx section = _stringx(kFeaturePrefix) + featureName;
    m_file.set_string(section, L"Action", Number(action));
    m_file.set_string(section, L"Detect", Number(detected));
    Save();
}

void CStateManager::SaveCurrentTransaction(int index)
{
    SaveValue(kProperties, L"CurrentTx", Number(index));
}

void CStateManager::MarkFileStaged(const _stringx& path)
{
    m_stagedFiles[path] = true;
    SaveValue(kFiles, path, L"Yes");
}

bool CStateManager::IsFileStaged(const _stringx& path) const
{
    return m_stagedFiles.contains(path) && kr::path_test(path, kr::path_accept_file);
}

kr::stringx_vector CStateManager::StagedFiles() const
{
    kr::stringx_vector files;
    for (const auto& [path, staged] : m_stagedFiles)
        files.push_back(path);
    return files;
}

LONG CStateManager::RemoveStateInfo()
{
    if (m_suiteId.empty())
        return ERROR_SUCCESS;
    {
        const kr::registry_key_holder state(HKEY_CURRENT_USER, m_stateKeyPath.c_str(), KEY_READ | KEY_WRITE);
        if (!state.get())
            return state.result();
    }
    STATE_TRACE(L"State manager: removing state info");
    LONG result = RegDeleteKeyW(HKEY_CURRENT_USER, m_stateKeyPath.c_str());

    DWORD subkeys = 0;
    {
        const kr::registry_key_holder suites(HKEY_CURRENT_USER, kSuitesKey, KEY_READ);
        if (!suites.get())
            return suites.result();
        result = RegQueryInfoKeyW(suites.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            return result;
    }
    if (subkeys == 0) {
        const kr::registry_key_holder parent(HKEY_CURRENT_USER, L"Software\\Korvanstilmer", KEY_READ | KEY_WRITE);
        if (!parent.get())
            return parent.result();
        result = RegDeleteKeyW(parent.get(), L"SuiteInstallers");
    }
    return result;
}

void CStateManager::RemoveStagingFiles()
{
    if (m_suiteFolder.empty() || !kr::path_test(m_suiteFolder, kr::path_accept_folder))
        return;
    STATE_TRACE(L"State manager: removing staging files from: %s", m_suiteFolder.c_str());
    // A package program that has just ended may hold the folder as its
    // working folder for a moment longer: the removal is tried again.
    for (int attempt = 0; attempt < 50 && kr::path_test(m_suiteFolder, kr::path_accept_folder); ++attempt) {
        if (kr::delete_tree(m_suiteFolder, false))
            break;
        Sleep(100);
    }
    RemoveStateInfo();
}
