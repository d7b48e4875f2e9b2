#include "parcels/Parcel.h"

#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"
#include "staging/Package.h"
#include "staging/StagingHost.h"

#define PARCEL_SOURCE TraceSource{L"Parcel", __LINE__}

CPackage& CParcel::SetPackage(std::unique_ptr<CPackage> package)
{
    m_package = std::move(package);
    return *m_package;
}

HRESULT CParcel::Stage(const _stringx& packageName)
{
    TraceFormat(PARCEL_SOURCE, L"Stage parcel %s, parcel action: %d", m_id.c_str(), m_actionState);
    if (!m_package) {
        TraceFormat(PARCEL_SOURCE, L"Stage parcel status: %x", S_FALSE);
        return S_FALSE;
    }
    IStagingHost* host = StagingHost();
    if (m_actionState != episInstalled)
        m_package->SetAttribute(L"GetPathOnly", L"1");
    m_package->SetAttribute(L"ParcelId", m_id);

    _stringx name = packageName;
    if (name.empty()) {
        ISetupEngine* setup = SetupEngine();
        const _stringx own = m_package->GetAttributeNoCase(L"Name");
        name = setup ? setup->FormatString(own) : own;
        if (!name.empty())
            m_package->SetAttribute(L"ForceStageSourceType", L"1");
        else if (host)
            name = host->GetStagingFolder();
    }
    m_package->SetAttribute(L"Name", name);

    if (host)
        host->Fire_OnStagingParcel(epssDownloading, Self());
    const HRESULT hr = m_package->Stage();
    if (SUCCEEDED(hr) && m_packagePath.empty()) {
        m_packagePath = m_package->GetAttributeNoCase(L"RootPath");
        SetAttribute(L"KRPREREQDIR", m_packagePath);
        SaveParcelValue(L"PackagePath", m_packagePath);
    }
    TraceFormat(PARCEL_SOURCE, L"Stage parcel status: %x", hr);
    return hr;
}
