#include "staging/Package.h"

#include "kr/file_system.h"
#include "kr/trace_log.h"
#include "staging/StagingHost.h"
#include "staging/StagingPaths.h"

#define STAGING_SOURCE TraceSource{L"Staging", __LINE__}

namespace {

constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);

} // namespace

CFolder& CPackage::SetRootFolder(std::unique_ptr<CFolder> folder)
{
    m_root = std::move(folder);
    return *m_root;
}

CFile& CPackage::AddFile(std::unique_ptr<CFile> file)
{
    if (!m_root)
        m_root = std::make_unique<CFolder>();
    return m_root->AddFile(std::move(file));
}

HRESULT CPackage::Stage()
{
    if (!m_root)
        return S_FALSE;
    const bool pathOnly = GetAttributeNoCase(L"GetPathOnly") == L"1";
    m_root->SetPathOnly(pathOnly);
    m_root->SetForceSource(GetAttributeNoCase(L"ForceStageSourceType") == L"1");

    const _stringx name = GetAttributeNoCase(L"Name");
    _stringx stagePath;
    HRESULT hr = m_root->Stage(name, stagePath, _stringx());
    if (hr == kPathNotFound) {
        if (m_root->GetSourceType() != sstSource)
            return hr;
        if (pathOnly) {
            hr = S_OK;
        } else {
            TraceFormat(STAGING_SOURCE, L"Source path not found attempting to stage parcel");
            const _stringx parcelId = GetAttributeNoCase(L"ParcelId");
            if (parcelId.empty()) {
                TraceFormat(STAGING_SOURCE,
                            L"Package path not found while trying to stage package. Containing parcel has no ID");
                return kPathNotFound;
            }
            IStagingHost* host = StagingHost();
            _stringx media;
            if (host) {
                hr = host->ResolveParcelSource(parcelId, media);
                if (FAILED(hr))
                    return hr;
            }
            // No answer (no user interface, or none given) is no source: asked once per staging.
            if (media.empty())
                return kPathNotFound;
            if (!kr::path_test(media, kr::path_accept_folder))
                media = media.path_folder();
            m_root->SetLocation(media);
            hr = m_root->Stage(name, stagePath, _stringx());
        }
    }
    if (FAILED(hr))
        return hr;

    _stringx corrected;
    IStagingHost* host = StagingHost();
    HRESULT result = GetCorrectPath(stagePath, corrected, host && host->IsWow64());
    if (SUCCEEDED(result) && corrected != stagePath)
        stagePath = corrected;
    // A stage folder computed ahead of staging need not exist yet.
    if (FAILED(result) && pathOnly)
        result = S_OK;
    SetAttribute(L"RootPath", stagePath);
    return result;
}
