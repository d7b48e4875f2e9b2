// The suite's Windows optional-feature definitions as setup.xml fills them,
// a parcel's feature list resolved against them, and the features that the
// parcels to be installed need, turned on before the transactions run.

#include "suite/SetupEngine.h"

#include "kr/trace_log.h"
#include "parcels/WindowsFeatureParcel.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

HRESULT InstallFeatureList(const _wstringx& features, bool& rebootNeeded)
{
    CWindowsFeatureParcel step;
    step.SetFeatureList(_stringx(features.c_str(), features.length()));
    return step.Install(rebootNeeded);
}

} // namespace

bool CSetupEngine::AddWindowsFeatureItem(const _wstringx& item)
{
    if (!m_featureDefinitions)
        m_featureDefinitions = std::make_unique<CWindowsFeatureDefinition>();
    m_featureDefinitions->GetItem(item);
    return true;
}

void CSetupEngine::AddWindowsFeatureDependencies(const _wstringx& item, const std::vector<_wstringx>& names)
{
    if (m_featureDefinitions)
        m_featureDefinitions->GetItem(item).AddDependencies(names);
}

bool CSetupEngine::AddWindowsFeatureOSDefinition(const _wstringx& item, const _wstringx& osName)
{
    if (!m_featureDefinitions)
        return false;
    m_featureDefinitions->GetItem(item).AddOSDefinition(osName);
    return true;
}

void CSetupEngine::SetWindowsFeatureList(const _wstringx& item, const _wstringx& osName, const _wstringx& features)
{
    if (m_featureDefinitions)
        m_featureDefinitions->GetItem(item).SetFeatureList(osName, features);
}

// Without definitions every name stands for itself, as a name no item
// defines does where definitions exist.
_wstringx CSetupEngine::GetWindowsFeatureList(const _wstringx& initial)
{
    if (m_featureDefinitions)
        return m_featureDefinitions->GetFeatureList(initial);
    CWindowsFeatureDefinition none;
    return none.GetFeatureList(initial);
}

// A feature install that needs a restart does not stop the others: the
// restart waits for the end of the suite.
HRESULT CSetupEngine::InstallWindowsFeatures()
{
    for (const auto& parcel : m_model->parcels) {
        if (!parcel || parcel->GetActionState() != episInstalled)
            continue;
        if (parcel->GetWindowsFeatures().empty()) {
            ENGINE_TRACE(L"No Windows features associated with parcel '%s'", parcel->GetId().c_str());
            continue;
        }
        const _stringx name = ResolveStringId(parcel->GetAttribute(L"Name"));
        const _wstringx features = GetWindowsFeatureList(parcel->GetWindowsFeatures());
        if (features.empty()) {
            ENGINE_TRACE(L"Skipping installation of Windows features for parcel '%s' due to empty list", name.c_str());
            continue;
        }
        ENGINE_TRACE(L"Installing Windows features for parcel '%s'...", name.c_str());
        bool rebootNeeded = false;
        const HRESULT installed = m_installWindowsFeatures ? m_installWindowsFeatures(features, rebootNeeded)
                                                           : InstallFeatureList(features, rebootNeeded);
        // The reboot codes are failure HRESULTs too; they count as success.
        if (rebootNeeded) {
            ENGINE_TRACE(L"Windows feature install requires a reboot, deferring reboot to end of suite install");
            RequestDelayedReboot();
            continue;
        }
        if (FAILED(installed)) {
            ENGINE_TRACE(L"Failed installing Windows features for parcel '%s', error 0x%08x", name.c_str(), installed);
            return installed;
        }
    }
    return S_OK;
}
