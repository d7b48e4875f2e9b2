#include "staging/Folder.h"

#include "kr/bootstrap_exception.h"
#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/trace_log.h"
#include "staging/StagingHost.h"

#define STAGING_SOURCE TraceSource{L"Staging", __LINE__}

namespace {

constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr HRESULT kBadDigest = static_cast<HRESULT>(0x80040705);

EnumInstallMode InstallMode()
{
    IStagingHost* host = StagingHost();
    return host ? host->GetInstallMode() : eimInstall;
}

_stringx SourceFolder()
{
    IStagingHost* host = StagingHost();
    return host ? host->GetSourceFolder() : _stringx();
}

} // namespace

void CFolder::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Source") {
        m_location = value;
        m_sourceType = sstSource;
    } else if (name == L"Stream") {
        m_location = value;
        m_sourceType = sstStream;
    } else if (name == L"Url") {
        m_location = value;
        m_sourceType = sstUrl;
    } else if (name == L"Name") {
        m_name = value;
    } else {
        CProperties::SetAttribute(name, value);
    }
}

CFile& CFolder::AddFile(std::unique_ptr<CFile> file)
{
    m_files.push_back(std::move(file));
    return *m_files.back();
}

CFolder& CFolder::AddSubFolder(std::unique_ptr<CFolder> folder)
{
    m_folders.push_back(std::move(folder));
    return *m_folders.back();
}

HRESULT CFolder::Stage(const _stringx& parentStagePath, _stringx& stagePath, const _stringx& parentLocation)
{
    if (!m_pathOnly) {
        if (m_sourceType == sstSource) {
            TraceFormat(STAGING_SOURCE, L"Staging from path");
            const EnumInstallMode mode = InstallMode();
            const bool copy = mode == eimAdmin || m_forceSource;
            if (copy) {
                if (!parentLocation.empty())
                    m_location = parentLocation.path_combine(m_location);
                if ((mode == eimInstall || mode == eimAdmin) && !m_location.is_absolute_path())
                    m_location = SourceFolder().path_combine(m_location);
            } else {
                if (!m_location.is_absolute_path())
                    m_location = SourceFolder().path_combine(m_location);
                TraceFormat(STAGING_SOURCE, L"No staging needed, adjusted stage path to: %s", m_location.c_str());
            }
            if (!kr::path_test(m_location, kr::path_accept_any)) {
                TraceFormat(STAGING_SOURCE, L"Source path does not exist");
                return kPathNotFound;
            }
            if (!copy) {
                stagePath = m_location;
                return S_OK;
            }
        } else if (m_sourceType == sstUrl && !parentLocation.empty()) {
            if (!parentLocation.ends_with_char(L'/') && !(!m_location.empty() && m_location[0] == L'/'))
                m_location = L"/" + m_location;
            m_location = parentLocation + m_location;
            TraceFormat(STAGING_SOURCE, L"Adjusted stage path for URL to: %s", m_location.c_str());
        }
    }

    _stringx path = m_name.empty() ? parentStagePath : parentStagePath.path_combine(m_name);
    stagePath = path.add_trailing_backslash();
    TraceFormat(STAGING_SOURCE, L"This stage path: %s", stagePath.c_str());
    if (m_pathOnly)
        return S_OK;

    if (!kr::create_folder_of(stagePath)) {
        const DWORD error = kr::last_result();
        return static_cast<LONG>(error) > 0 ? HRESULT_FROM_WIN32(error) : static_cast<HRESULT>(error);
    }
    const _stringx targetFolder = m_sourceType == sstStream ? parentStagePath : stagePath;
    for (const auto& file : m_files) {
        const HRESULT hr = file->Stage(m_location, targetFolder, m_sourceType);
        if (FAILED(hr))
            return hr;
        if ((m_sourceType == sstStream || m_sourceType == sstUrl) && !file->CheckMD5()) {
            // No parcel may start a file that failed its check.
            const _stringx staged = file->GetStagedPath();
            DeleteFileW(staged.c_str());
            throw staged_file_exception(kBadDigest, staged);
        }
    }
    for (const auto& folder : m_folders) {
        folder->SetForceSource(m_forceSource);
        _stringx childPath;
        const HRESULT hr = folder->Stage(stagePath, childPath, m_location);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}
