#pragma once

// The suite's saved state: everything the run has decided, written through
// to a state file in the suite folder at every change, and named in the
// current user's registry so that a run cut short by a reboot resumes from
// it on the next start.

#include <windows.h>

#include <map>

#include "kr/inifilex.h"
#include "kr/stringx.h"
#include "parcels/StateObject.h"
#include "properties/Properties.h"

// The objects a reload hands their sections to.
class IStateTargets {
public:
    // Null when the suite has no such parcel or feature (any more).
    virtual IStateObject* ParcelStateObject(const _stringx& id) = 0;
    virtual IStateObject* FeatureStateObject(const _stringx& name) = 0;
    // Section "Properties".
    virtual IStateObject& EngineStateObject() = 0;

protected:
    ~IStateTargets() = default;
};

class CStateManager : public IPropertyStateWriter {
public:
    static constexpr wchar_t kSuitesKey[] = L"Software\\Korvanstilmer\\SuiteInstallers";

    CStateManager() = default;
    CStateManager(const CStateManager&) = delete;
    CStateManager& operator=(const CStateManager&) = delete;

    // Opens the suite's saved state, or starts a new one in the staging
    // folder; -1 for an empty suite id, else 0.
    int LoadState(const _stringx& suiteId);
    // Hands every saved section, in file order, to the object it belongs to.
    void ReloadState(IStateTargets& targets);
    void RestoreSection(IStateObject& object, const _stringx& section, const kr::stringx_vector& keys);

    // Each writes its keys and then rewrites the whole file.
    void SaveProperty(const _stringx& name, const _stringx& value) override;
    void SaveParcelValue(const _stringx& parcelId, const _stringx& name, const _stringx& value) override;
    void SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete);
    void SaveFeatureState(const _stringx& featureName, int action, int detected);
    void SaveCurrentTransaction(int index);
    void SaveValue(const _stringx& section, const _stringx& name, const _stringx& value);
    // Empty when the section or the name was never saved.
    _stringx Value(const _stringx& section, const _stringx& name) const;

    void MarkFileStaged(const _stringx& path);
    // Recorded as staged, and still there.
    bool IsFileStaged(const _stringx& path) const;
    kr::stringx_vector StagedFiles() const;

    // "Software\Korvanstilmer\SuiteInstallers\" + suite id, under HKEY_CURRENT_USER.
    const _stringx& GetStateKeyPath() const noexcept { return m_stateKeyPath; }
    // Deletes the suite's state key, and the suites key when nothing else is
    // left below it; the last registry result. The state file stays.
    LONG RemoveStateInfo();
    // Deletes the suite folder with the state file, then the registry state;
    // nothing when the folder is gone.
    void RemoveStagingFiles();

    // The folder that holds the state file; the staging folder of the run.
    void SetStagingFolder(const _stringx& folder) { m_suiteFolder = folder; }
    const _stringx& StagingFolder() const noexcept { return m_suiteFolder; }
    const _stringx& StateFilePath() const noexcept { return m_stateFilePath; }
    // A valid saved state was loaded.
    bool HasExistingState() const noexcept { return m_existingState; }

private:
    struct NoCaseLess {
        bool operator()(const _stringx& a, const _stringx& b) const noexcept { return a.compare(b) < 0; }
    };

    void StartEmptyState(const _stringx& path);
    void StartNewStateFile();
    void Save();

    _stringx m_suiteId;
    _stringx m_stateKeyPath;
    _stringx m_stateFilePath;
    _stringx m_suiteFolder;
    bool m_existingState = false;
    std::map<_stringx, bool, NoCaseLess> m_stagedFiles;
    inifilex m_file;
};
