#include "staging/File.h"

#include "kr/bootstrap_exception.h"
#include "kr/copy_file.h"
#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/trace_log.h"
#include "staging/StageCopyProgress.h"
#include "staging/StagingHost.h"
#include "staging/StagingPaths.h"

#define STAGING_SOURCE TraceSource{L"Staging", __LINE__}

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kStreamExtractFailed = static_cast<HRESULT>(0x80040709);

HRESULT FromLibraryError(DWORD error)
{
    return static_cast<LONG>(error) > 0 ? HRESULT_FROM_WIN32(error) : static_cast<HRESULT>(error);
}

} // namespace

void CFile::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Name") {
        m_name = value;
    } else if (name == L"MD5") {
        m_md5 = value;
    } else if (name == L"Url") {
    } else if (name == L"Size") {
        if (value.empty())
            return;
        long long size = 0;
        if (value.to_int64(size)) {
            m_size = size;
        } else {
            TraceFormat(STAGING_SOURCE, L"Invalid file size specified for file element: '%s'", value.c_str());
            m_size = 0;
        }
    } else {
        CProperties::SetAttribute(name, value);
    }
}

bool CFile::CheckMD5()
{
    const _stringx digest = GetFileMD5Text(m_stagedPath);
    TraceFormat(STAGING_SOURCE, L"Checking file MD5: expected MD5: '%s', file MD5: '%s'", m_md5.c_str(),
                digest.c_str());
    // An unreadable file has no digest, and a file without an expected one has nothing to match.
    return !digest.empty() && !m_md5.empty() && digest == m_md5;
}

bool CFile::OnProgress(DWORD done, DWORD total)
{
    IStagingHost* host = StagingHost();
    if (host && host->ReportStagingProgress(m_name.path_file_name(), done, total) == kUserExit) {
        TraceFormat(STAGING_SOURCE, L"Staging canceled while extracting stream file");
        m_cancelled = true;
        return true;
    }
    return false;
}

HRESULT CFile::Stage(const _stringx& location, const _stringx& targetFolder, int sourceType)
{
    IStagingHost* host = StagingHost();
    TraceFormat(STAGING_SOURCE, L"Staging file %s, source type %x", m_name.c_str(), sourceType);

    _stringx source;
    if (sourceType == sstSource)
        source = location.path_combine(m_name);
    else if (sourceType == sstStream)
        source = m_name;
    else if (sourceType == sstUrl)
        source = AppendUrlPart(location, m_name);
    const _stringx target = targetFolder.path_combine(m_name.is_absolute_path() ? m_name.path_file_name() : m_name);
    TraceFormat(STAGING_SOURCE, L"Source file to stage: %s", source.c_str());
    TraceFormat(STAGING_SOURCE, L"Target file: %s", target.c_str());

    if ((host && host->IsFileStaged(target)) || kr::path_test(target, kr::path_accept_any)) {
        TraceFormat(STAGING_SOURCE, L"State information indicates file is already staged");
        m_stagedPath = target;
        if (CheckMD5())
            return S_OK;
        TraceFormat(STAGING_SOURCE,
                    L"Existing file does not have valid MD5, attempting to remove existing file and re-stage");
        m_stagedPath.clear();
        if (!DeleteFileW(target.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
            TraceFormat(STAGING_SOURCE, L"Failed to delete existing staged file (error %x): '%s'", GetLastError(),
                        target.c_str());
        }
    }

    HRESULT result = S_OK;
    if (sourceType == sstStream) {
        if (!kr::create_folder_of(target)) {
            const DWORD error = kr::last_result();
            TraceFormat(STAGING_SOURCE, L"Failed to create stage folder path for streamed file '%s', error %d",
                        target.c_str(), error);
            throw staged_file_exception(FromLibraryError(error), target);
        }
        STREAM* stream = host ? host->GetStream() : nullptr;
        if (!stream || stream->ExtractStreamFile(m_name, target, this) != 1) {
            TraceFormat(STAGING_SOURCE, L"Failed to extract '%s' from setup stream, error %d", m_name.c_str(),
                        stream ? stream->last_error() : ERROR_FILE_NOT_FOUND);
            // What was written before the failure is no copy of the entry.
            DeleteFileW(target.c_str());
            throw staged_file_exception(m_cancelled ? kUserExit : kStreamExtractFailed, source);
        }
    } else {
        bool copied = false;
        {
            CStageCopyProgressScope progress(*this);
            copied = kr::copy_file(source, target, kr::copy_chunk_size, true);
        }
        if (!copied) {
            // A declined retry leaves its reason as the thread's last error.
            const DWORD lastError = GetLastError();
            const DWORD error = kr::last_result();
            if (error != 0) {
                TraceFormat(STAGING_SOURCE, L"Failed to download/write stage file '%s' to '%s', error %d",
                            source.c_str(), target.c_str(), error);
                SetLastError(lastError);
                throw staged_file_exception(m_cancelled ? kUserExit : FromLibraryError(error), source);
            }
            TraceFormat(STAGING_SOURCE, L"Unknown error staging file '%s' to '%s'", source.c_str(), target.c_str());
            SetLastError(lastError);
            result = E_ABORT;
        }
    }

    // Only a file that arrived counts as staged.
    if (SUCCEEDED(result)) {
        if (host)
            host->MarkFileStaged(target);
        m_stagedPath = target;
    }
    TraceFormat(STAGING_SOURCE, L"File stage status: %x", result);
    return result;
}
