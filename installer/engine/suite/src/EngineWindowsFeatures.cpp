// The suite's Windows optional-feature definitions as setup.xml fills them,
// and a parcel's feature list resolved against them.

#include "suite/SetupEngine.h"

bool CSetupEngine::AddWindowsFeatureItem(const _wstringx& item)
{
    if (!m_windowsFeatures)
        m_windowsFeatures = std::make_unique<CWindowsFeatureDefinition>();
    m_windowsFeatures->GetItem(item);
    return true;
}

void CSetupEngine::AddWindowsFeatureDependencies(const _wstringx& item, const std::vector<_wstringx>& names)
{
    if (m_windowsFeatures)
        m_windowsFeatures->GetItem(item).AddDependencies(names);
}

bool CSetupEngine::AddWindowsFeatureOSDefinition(const _wstringx& item, const _wstringx& osName)
{
    if (!m_windowsFeatures)
        return false;
    m_windowsFeatures->GetItem(item).AddOSDefinition(osName);
    return true;
}

void CSetupEngine::SetWindowsFeatureList(const _wstringx& item, const _wstringx& osName, const _wstringx& features)
{
    if (m_windowsFeatures)
        m_windowsFeatures->GetItem(item).SetFeatureList(osName, features);
}

// Without definitions every name stands for itself, as a name no item
// defines does where definitions exist.
_wstringx CSetupEngine::GetWindowsFeatureList(const _wstringx& initial)
{
    if (m_windowsFeatures)
        return m_windowsFeatures->GetFeatureList(initial);
    CWindowsFeatureDefinition none;
    return none.GetFeatureList(initial);
}
