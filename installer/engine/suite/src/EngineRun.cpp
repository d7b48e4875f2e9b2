// The engine's run after initialisation: feature states, the user's
// selection, parcel action states, the password requirement, staging, the
// transactions under a resume entry that survives a restart, the completion
// event and the final status with a delayed reboot.

#include "suite/SetupEngine.h"

#include <algorithm>

#include "kr/bootstrap_exception.h"
#include "kr/file_system.h"
#include "kr/reboot.h"
#include "kr/reboot_exception.h"
#include "kr/registry.h"
#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kPasswordRequired = static_cast<HRESULT>(0x8004070A);
constexpr HRESULT kNoStagePath = static_cast<HRESULT>(0x8004070D);
constexpr HRESULT kRebootPending = 3010;
constexpr HRESULT kRebootStarted = 1641;

// Engine event types of the suite's event actions.
constexpr int kOnStaging = 2;
constexpr int kOnStaged = 3;
constexpr int kOnParcelsInstalling = 4;
constexpr int kOnParcelsInstalled = 5;
constexpr int kOnRebooting = 6;
constexpr int kOnEnd = 7;

constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kRebootValue[] = L"Reboot";

kr::stringx_vector FeatureNames(const _stringx& list)
{
    kr::stringx_vector names;
    if (!list.empty())
        list.split(L',', kr::split_skip_empty, names);
    return names;
}

} // namespace

HRESULT CSetupEngine::DetermineFeatureStates()
{
    m_status = S_OK;
    if (!m_rebooted) {
        const kr::stringx_vector install = FeatureNames(GetProperty(L"KRFeatureInstall"));
        const kr::stringx_vector remove = FeatureNames(GetProperty(L"KRFeatureRemove"));
        ENGINE_TRACE(L"Engine: determining suite feature states");
        for (CFeature* feature : m_model->topLevelFeatures)
            feature->InitializeState(m_installMode, install, remove);
    }
    DetermineParcelActionStates();
    if (!m_rebooted) {
        ENGINE_TRACE(L"Engine: sending UI selection event to UI");
        OnBootstrapEvent(ebsUISelection);
        if (m_uiAnswer == VARIANT_TRUE)
            return kUserExit;
    }
    if (m_installMode == eimRunUpdate)
        return InstallUpdate();
    return ApplySelectionAndStage();
}

HRESULT CSetupEngine::ApplySelectionAndStage()
{
    ENGINE_TRACE(L"Engine: setting parcel states as determined by feature selections");
    for (CFeature* feature : m_model->topLevelFeatures)
        feature->SetParcelStates(efasNoAction, false);
    for (const auto& parcel : m_model->parcels)
        if (parcel)
            parcel->FinalizeActionState();
    if (NotifyUIForUpgradingParcels() == kUserExit)
        return kUserExit;

    if (!m_passwordValid && (m_installMode == eimInstall || m_installMode == eimAdmin)) {
        ENGINE_TRACE(L"Engine: a password is required by the setup but no valid password was provided");
        m_status = kPasswordRequired;
        ReportError(ebesEngine, m_status, _stringx(), nullptr);
        ENGINE_TRACE(L"Error code: 0x%08x", m_status);
        return m_status;
    }

    HRESULT hr = S_OK;
    if (!m_rebooted) {
        ENGINE_TRACE(L"Engine: staging parcels");
        if (m_installMode != eimAdmin) {
            for (const auto& transaction : m_model->transactions) {
                if (!ModelEntry(transaction).NeedsElevation())
                    continue;
                if (!GetProxyHandler(true, false)) {
                    ENGINE_TRACE(L"Engine: failed to obtain elevated privileges, proxy launch canceled");
                    return kUserExit;
                }
                break;
            }
        }
        OnBootstrapEvent(ebsStage);
        if (m_uiAnswer == VARIANT_TRUE)
            return kUserExit;
        if (FAILED(hr = RunEvents(kOnStaging)))
            return hr;

        _stringx stageRoot;
        if (m_installMode == eimAdmin) {
            stageRoot = GetProperty(L"KRRootStagePath");
            ENGINE_TRACE(L"Admin/stage only mode, staging path is '%s'", stageRoot.c_str());
            if (stageRoot.empty()) {
                m_status = kNoStagePath;
                ReportError(ebesStaging, m_status, stageRoot, nullptr);
                return m_status;
            }
            stageRoot = stageRoot.add_trailing_backslash();
            kr::create_folder_of(stageRoot);
        }
        m_status = StageParcels(stageRoot);
        if (m_status == kUserExit)
            return m_status;
        if (FAILED(hr = RunEvents(kOnStaged)))
            return hr;
        if (m_installMode == eimAdmin) {
            ENGINE_TRACE(L"Engine: stage only sending completed event");
            m_bootstrapState = ebsComplete;
            Fire_OnBootstrapEvent(ebsComplete, nullptr);
            return m_status;
        }
    }

    SaveProperties();
    m_status = InstallWindowsFeatures();
    if (FAILED(m_status))
        return m_status;

    ENGINE_TRACE(L"Engine: starting parcel operations");
    OnBootstrapEvent(ebsInstall);
    if (m_uiAnswer == VARIANT_TRUE)
        return kUserExit;
    if (FAILED(hr = RunEvents(kOnParcelsInstalling)))
        return hr;
    WriteResumeEntry();
    return RunTransactions();
}

// The first failure of any transaction is the result, even when later ones
// stage well: a run that staged only part of the suite must not report success.
HRESULT CSetupEngine::StageParcels(const _stringx& stageRoot)
{
    HRESULT first = S_OK;
    for (const auto& transaction : m_model->transactions) {
        try {
            HRESULT hr = S_OK;
            for (CParcel* parcel : ModelEntry(transaction).Parcels()) {
                hr = parcel->Stage(stageRoot);
                if (FAILED(hr))
                    break;
            }
            if (FAILED(hr)) {
                ENGINE_TRACE(L"Engine: error %x while staging parcels", hr);
                throw staged_file_exception(hr, _stringx());
            }
        } catch (const staged_file_exception& failure) {
            const HRESULT code = failure.hresult();
            ENGINE_TRACE(L"Engine: exception status %x while staging parcels", code);
            if (code == kUserExit)
                return kUserExit;
            ReportError(ebesStaging, code, failure.path(), nullptr);
            if (SUCCEEDED(first))
                first = code;
        }
    }
    return first;
}

HRESULT CSetupEngine::RunTransactions()
{
    const int count = static_cast<int>(m_model->transactions.size());
    if (m_currentTransaction > count)
        m_currentTransaction = 0;
    if (m_installMode == eimRemove && m_reverseUninstallOrder) {
        std::reverse(m_model->transactions.begin(), m_model->transactions.end());
        for (const auto& transaction : m_model->transactions)
            ModelEntry(transaction).ReverseParcels();
    }

    HRESULT status = m_status;
    try {
        for (int index = m_currentTransaction; index < count; ++index) {
            m_savedState.SaveCurrentTransaction(index);
            status = ModelEntry(m_model->transactions[index]).Run();
            if (FAILED(status)) {
                ENGINE_TRACE(L"Engine: error %x while running parcel operations", status);
                break;
            }
        }
    } catch (const reboot_exception& reboot) {
        m_status = OnRebootRequested(reboot.restart_now());
        return m_status;
    } catch (const parcel_install_failure_exception& failure) {
        m_status = ClearResumeAndReportParcelError(failure.hresult(), failure.parcel());
        return m_status;
    } catch (const parcel_event_failure_exception& failure) {
        m_status = ClearResumeAndReportParcelError(failure.hresult(), nullptr);
        return m_status;
    }
    m_status = status;

    RemoveResumeEntry();
    const HRESULT installed = RunEvents(kOnParcelsInstalled);
    if (FAILED(installed))
        return installed;
    if (SUCCEEDED(m_status))
        RegisterArpEntry();
    m_savedState.RemoveStateInfo();
    ENGINE_TRACE(L"Engine: parcel operations completed, sending completed event to UI");
    m_bootstrapState = ebsComplete;
    Fire_OnBootstrapEvent(ebsComplete, nullptr);

    if (SUCCEEDED(m_status) && m_delayedReboot) {
        ENGINE_TRACE(L"Engine: parcel operations successful with a pending reboot");
        m_status = kRebootPending;
        if (GetProperty(L"KRPerformDelayedReboot").compare(L"true") == 0) {
            m_status = kRebootStarted;
            kr::reboot_system();
        }
    }
    RunEvents(kOnEnd);
    ENGINE_TRACE(L"Engine: all operations completed, final status: %x", m_status);
    return m_status;
}

HRESULT CSetupEngine::OnRebootRequested(bool restartNow)
{
    ENGINE_TRACE(L"Engine: a reboot was requested while installing parcels");
    m_keepStagedFiles = true;
    RunEvents(kOnRebooting);
    m_bootstrapState = ebsRebooting;
    Fire_OnBootstrapEvent(ebsRebooting, nullptr);
    if (restartNow)
        kr::reboot_system();
    return restartNow ? kRebootStarted : kRebootPending;
}

HRESULT CSetupEngine::ClearResumeAndReportParcelError(HRESULT status, IParcel* parcel)
{
    RemoveResumeEntry();
    ReportError(ebesParcel, status, _stringx(), parcel);
    return status;
}

_stringx CSetupEngine::RelaunchCommandLine()
{
    _stringx path = GetProperty(L"ORIGINALSETUPEXEDIR").path_combine(GetProperty(L"ORIGINALSETUPEXENAME"));
    if (path.empty())
        path = m_launcherPath;
    _stringx line = L"\"" + path + L"\"";
    if (!m_debugLogPath.empty())
        line += L" /debuglog\"" + m_debugLogPath + L"\"";
    if (m_silent)
        line += L" /silent";
    if (m_passive)
        line += L" /passive";
    return line;
}

void CSetupEngine::WriteResumeEntry()
{
    kr::reg_create_key(HKEY_CURRENT_USER, kRunOnceKey);
    kr::reg_write_string(HKEY_CURRENT_USER, kRunOnceKey, GetSuiteId(), RelaunchCommandLine());
    const _stringx stateKey = m_savedState.GetStateKeyPath();
    kr::reg_create_key(HKEY_CURRENT_USER, stateKey);
    kr::reg_write_dword(HKEY_CURRENT_USER, stateKey, kRebootValue, 1);
}

void CSetupEngine::RemoveResumeEntry()
{
    kr::reg_delete_value(HKEY_CURRENT_USER, kRunOnceKey, GetSuiteId());
    kr::reg_delete_value(HKEY_CURRENT_USER, m_savedState.GetStateKeyPath(), kRebootValue);
}
