#include "resources/Resource.h"

#include "kr/copy_file.h"
#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/trace_log.h"

namespace {

#define RESOURCE_TRACE(...) TraceFormat({L"Resource", __LINE__}, __VA_ARGS__)

constexpr HRESULT kStreamExtractFailed = static_cast<HRESULT>(0x80040707);
constexpr HRESULT kDownloadFailed = static_cast<HRESULT>(0x80040708);

bool IsFile(const _stringx& path)
{
    return kr::path_test(path, kr::path_accept_file);
}

} // namespace

_stringx UrlFileName(const _stringx& url)
{
    _stringx path = url;
    const size_t query = path.find(L'?');
    if (query != _stringx::npos)
        path = path.substr(0, query);
    const size_t slash = path.rfind(L"/");
    return slash == _stringx::npos ? _stringx() : path.substr(slash + 1);
}

CResource::CResource(IResourceHost& host, bool userInterface) : m_host(host), m_userInterface(userInterface) {}

CResource::~CResource()
{
    if (m_module)
        FreeLibrary(m_module);
}

void CResource::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Source") {
        m_sourceType = rstSource;
        m_location = value;
    } else if (name == L"Stream") {
        m_sourceType = rstStream;
        m_location = value;
    } else if (name == L"Url") {
        m_sourceType = rstUrl;
        m_location = value;
    } else if (name == L"Name") {
        m_location = value;
    } else if (name == L"Namespace") {
        m_namespace = value;
    }
}

HRESULT CResource::StageFromStream(const _stringx& folder, _stringx& staged, IStreamProgress* progress)
{
    const _stringx target = folder.path_combine(m_location);
    if (IsFile(target)) {
        RESOURCE_TRACE(L"Resource: resource '%s' is already staged from stream", target.c_str());
        staged = target;
        return S_OK;
    }
    if (!kr::create_folder_of(target)) {
        RESOURCE_TRACE(L"Failed to create directory for streamed resource, error %d", kr::state().last_result);
        return E_ABORT;
    }
    if (m_host.ExtractStreamFile(m_location, target, progress) != 1) {
        RESOURCE_TRACE(L"Failed to extract resource '%s' from setup", target.c_str());
        return kStreamExtractFailed;
    }
    staged = target;
    return S_OK;
}

HRESULT CResource::StageFromLocation(const _stringx& folder, _stringx& staged)
{
    _stringx name = m_location;
    if (m_location.is_url()) {
        name = UrlFileName(m_location);
        if (name.empty()) {
            RESOURCE_TRACE(L"Not downloading URL resource since it has no filename.");
            return HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME);
        }
    } else if (m_location.is_absolute_path()) {
        name = m_location.path_file_name();
    }
    const _stringx target = folder.path_combine(name);
    if (IsFile(target)) {
        RESOURCE_TRACE(L"Resource: resource '%s' is already staged from URL/source", target.c_str());
        staged = target;
        return S_OK;
    }
    if (!kr::path_test(m_location, kr::path_accept_any | kr::path_test_url)) {
        RESOURCE_TRACE(L"Resource: file at URL '%s' does not exist", m_location.c_str());
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    }
    // A relative source is taken from the current folder.
    if (!kr::copy_file(m_location, target, kr::copy_chunk_size, false)) {
        RESOURCE_TRACE(L"Failed to copy/download resource file (%s) to '%s', source type %d", m_location.c_str(),
                       target.c_str(), m_sourceType);
        return kDownloadFailed;
    }
    staged = target;
    return S_OK;
}

HRESULT CResource::Stage(_stringx& staged, IStreamProgress* progress)
{
    RESOURCE_TRACE(L"Initializing resource '%s', type %d", m_location.c_str(), m_sourceType);
    const _stringx folder = m_host.GetStagingFolder();
    const HRESULT hr = m_sourceType == rstStream ? StageFromStream(folder, staged, progress)
                                                 : StageFromLocation(folder, staged);
    if (SUCCEEDED(hr))
        RESOURCE_TRACE(L"Resource was staged to '%s'", staged.c_str());
    return hr;
}

HRESULT CResource::Initialize(IStreamProgress* progress)
{
    _stringx staged;
    const HRESULT hr = Stage(staged, progress);
    if (FAILED(hr)) {
        RESOURCE_TRACE(L"Resource: failed to stage resource, will not be able to initialize (error 0x%08x)", hr);
        return hr;
    }
    if (m_userInterface || !m_namespace.empty()) {
        const HMODULE module = LoadLibraryW(staged.c_str());
        const DWORD error = module ? ERROR_SUCCESS : GetLastError();
        if (module) {
            if (m_module)
                FreeLibrary(m_module);
            m_module = module;
        } else if (error != ERROR_BAD_EXE_FORMAT) {
            return HRESULT_FROM_WIN32(error);
        }
        // A file that is no program module still counts as initialised.
        RESOURCE_TRACE(L"Module load succeeded");
    }
    m_initialized = true;
    return S_OK;
}
