// The engine's side of the saved state: opening it once the suite id is
// known, telling a resumed run, handing the saved sections back to the
// engine, the parcels and the features, and saving the properties.

#include "suite/SetupEngine.h"

#include "kr/bootstrap_exception.h"
#include "kr/registry.h"
#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

class EngineStateTargets : public IStateTargets {
public:
    EngineStateTargets(CSetupEngine& engine, IStateObject& engineState) : m_engine(engine), m_engineState(engineState)
    {
    }
    IStateObject* ParcelStateObject(const _stringx& id) override { return m_engine.FindParcel(id); }
    IStateObject* FeatureStateObject(const _stringx& name) override
    {
        return m_engine.FindFeature(name);
    }
    IStateObject& EngineStateObject() override { return m_engineState; }

private:
    CSetupEngine& m_engine;
    IStateObject& m_engineState;
};

class EngineStateObject : public IStateObject {
public:
    explicit EngineStateObject(CSetupEngine& engine) : m_engine(engine) {}
    void LoadStateValue(const CStateEntry& entry) override { m_engine.LoadStateValue(entry); }

private:
    CSetupEngine& m_engine;
};

} // namespace

void CSetupEngine::InitializeState()
{
    if (m_savedState.LoadState(GetSuiteId()) != 0) {
        ENGINE_TRACE(L"Failed to initialize state information, is SuiteId missing from the setup element?");
        throw bootstrap_exception(static_cast<HRESULT>(0x80040701));
    }
    m_supportFolder = m_savedState.StagingFolder();
    if (m_savedState.HasExistingState()) {
        ENGINE_TRACE(L"Engine: disallowing use of suite update since we're running with existing state information.");
        m_updateUrl.clear();
    }
}

bool CSetupEngine::CheckRunRebooted()
{
    ENGINE_TRACE(L"Engine: checking to see if we should run rebooted");
    const DWORD reboot = m_savedState.GetStateKeyPath().empty()
                             ? 0
                             : kr::reg_read_dword(HKEY_CURRENT_USER, m_savedState.GetStateKeyPath(), L"Reboot", 0);
    return reboot != 0 && m_savedState.HasExistingState();
}

void CSetupEngine::ReloadSavedState()
{
    EngineStateObject engineState(*this);
    EngineStateTargets targets(*this, engineState);
    m_savedState.ReloadState(targets);
}

void CSetupEngine::LoadStateValue(const CStateEntry& entry)
{
    const _stringx name = entry.GetName();
    if (name == L"Password") {
        m_passwordValid = entry.GetBool();
    } else if (name == L"CurrentTx") {
        m_currentTransaction = entry.GetInt();
    } else if (name == L"InstallMode") {
        m_installMode = static_cast<EnumInstallMode>(entry.GetInt());
        _stringx number;
        m_properties.SetAttribute(L"KRInstallMode", number.format(L"%d", entry.GetInt()));
    } else if (name == L"SuiteId") {
        // The suite id comes from setup.xml and already named this state.
    } else if (name == L"SETUPEXEDIR" || name == L"SETUPEXENAME" || name == L"KRElevationRequired") {
        // This process set them: the saved ones describe the previous run's
        // launcher, whose temporary copy is gone.
    } else {
        SetProperty(name, entry.GetString(), true);
    }
}

void CSetupEngine::SaveProperties()
{
    m_properties.SaveToState(m_savedState);
    m_savedState.SaveProperty(L"Password", m_passwordValid ? L"true" : L"false");
}
