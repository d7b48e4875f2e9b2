// The suite's self-update on the engine's side: the update description
// fetched from beside UpdateUrl, the new launcher downloaded, its signer
// checked and started in place of this run, and the automation face's
// IsUpdateAvailable and InstallUpdate.

#include "suite/SetupEngine.h"

#include <shellapi.h>

#include "kr/bootstrap_exception.h"
#include "kr/file.h"
#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/processes.h"
#include "kr/signer.h"
#include "kr/temp_folders.h"
#include "kr/trace_log.h"
#include "kr/win32_exception.h"
#include "staging/File.h"
#include "suite/EnginePaths.h"
#include "update/FileSignatureVerifier.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kCancelled = HRESULT_FROM_WIN32(ERROR_INSTALL_USEREXIT);       // 0x80070642
constexpr HRESULT kAbortedByPolicy = HRESULT_FROM_WIN32(ERROR_INSTALL_FAILURE); // 0x80070643
constexpr HRESULT kInvalidName = HRESULT_FROM_WIN32(ERROR_INVALID_NAME);        // 0x8007007B

HRESULT FromLibraryError(DWORD error)
{
    return static_cast<LONG>(error) > 0 ? HRESULT_FROM_WIN32(error) : static_cast<HRESULT>(error);
}

// The engine's update members behind the face the initialisation calls.
class EngineUpdate : public IUpdateHandler {
public:
    explicit EngineUpdate(CSetupEngine& engine) : m_engine(engine) {}

    void SetUpdatedFrom(const _stringx& address) override { m_engine.UpdateHandler().SetLaunchedFrom(address); }
    HRESULT DownloadUpdateDescription(bool& found) override { return m_engine.DownloadUpdateDescription(found); }
    _stringx ChosenAddress() override
    {
        const CUpdateEntity* selected = m_engine.UpdateHandler().Selected();
        return selected ? selected->GetUrl() : _stringx();
    }
    HRESULT DownloadAndLaunchUpdate(const _stringx& address, const _stringx& commandLine, bool& launched) override
    {
        return m_engine.LaunchUpdate(address, commandLine, launched);
    }
    HRESULT InstallUpdate() override { return m_engine.UpdateHandler().InstallUpdate(); }

private:
    CSetupEngine& m_engine;
};

// Removes a folder and everything in it when the scope ends.
class FolderRemover {
public:
    explicit FolderRemover(const _stringx& folder) : m_folder(folder) {}
    ~FolderRemover()
    {
        if (!m_folder.empty())
            kr::delete_tree(m_folder, false);
    }
    FolderRemover(const FolderRemover&) = delete;
    FolderRemover& operator=(const FolderRemover&) = delete;

private:
    _stringx m_folder;
};

} // namespace

std::unique_ptr<IUpdateHandler> CSetupEngine::DefaultUpdateHandler(CSetupEngine& engine)
{
    return std::make_unique<EngineUpdate>(engine);
}

STDMETHODIMP CSetupEngine::IsUpdateAvailable(VARIANT_BOOL* available)
{
    if (!available)
        return E_POINTER;
    bool found = false;
    const HRESULT hr = m_update->DownloadUpdateDescription(found);
    *available = found ? VARIANT_TRUE : VARIANT_FALSE;
    return hr;
}

STDMETHODIMP CSetupEngine::InstallUpdate()
{
    return m_update->InstallUpdate();
}

HRESULT CSetupEngine::LaunchUpdate(const _stringx& address, const _stringx& commandLine, bool& launched)
{
    m_effectiveUpdateUrl = address;
    return DownloadAndLaunchUpdate(commandLine, launched);
}

HRESULT CSetupEngine::DownloadUpdateDescription(bool& available)
{
    available = false;
    if (m_updateUrl.empty()) {
        ENGINE_TRACE(L"Engine: no update XML URL specified");
        return S_OK;
    }
    _stringx folder;
    _stringx file;
    SplitUrl(m_updateUrl, folder, file);
    // A folder of the scheme alone ("http://host") names no path.
    if (folder.empty() || folder == L"http://" || folder == L"https://") {
        ENGINE_TRACE(L"Engine: update URL does not provide a path for krupdate.xml");
        return S_OK;
    }
    const _stringx address = folder + L"/krupdate.xml";
    _stringx localPath;
    const HRESULT fetched = FetchUpdateDescription(address, localPath);
    if (FAILED(fetched)) {
        ENGINE_TRACE(L"Engine: failed to download update XML file '%s', error 0x%08x", address.c_str(), fetched);
        return fetched;
    }
    const HRESULT hr = m_updateHandler.SelectUpdate(localPath, available);
    if (available) {
        SetProperty(L"KRUpdateAvailable", L"1", false);
        SetProperty(L"KRUpdateVersion", m_updateHandler.Selected()->GetVersion(), false);
    }
    return hr;
}

// The description is one of the suite's resources, found by its address or
// made for it: a later check reads the copy staged by the first. A resource
// made here joins the suite only once it was fetched.
HRESULT CSetupEngine::FetchUpdateDescription(const _stringx& address, _stringx& localPath)
{
    localPath.clear();
    std::unique_ptr<CResource> created;
    CResource* resource = FindResourceByName(address);
    if (!resource) {
        created = std::make_unique<CResource>(m_resourceHost);
        created->SetAttribute(L"Url", address);
        resource = created.get();
    }
    if (!m_supportFolder.empty())
        kr::create_directory_tree(m_supportFolder);
    const HRESULT hr = resource->Stage(localPath, nullptr);
    if (FAILED(hr))
        return hr;
    if (created)
        m_resources.push_back(std::move(created));
    return S_OK;
}

HRESULT CSetupEngine::DownloadAndLaunchUpdate(const _stringx& commandLine, bool& launched)
{
    launched = false;
    const _stringx& address = m_effectiveUpdateUrl;
    const _stringx fileName = GetUrlFileName(address);
    if (fileName.empty() || !fileName.ends_with(L".exe")) {
        ENGINE_TRACE(L"Engine: invalid update URL specified, no filename or not an exe (error 0x%08x): '%s' (%s)",
                     kInvalidName, fileName.c_str(), m_updateUrl.c_str());
        return S_FALSE;
    }
    // The folder of the address ends at its last "/": the file name may occur earlier in it as well.
    const _stringx base = address.substr(0, address.rfind(L"/") + 1);

    const _stringx folder = m_elevated ? kr::create_private_temp_folder() : kr::get_temp_file_name(L"", L"", false);
    const FolderRemover removeFolder(folder);

    _stringx downloaded;
    const HRESULT download = DownloadUpdateLauncher(base, fileName, folder, downloaded);
    if (FAILED(download) || downloaded.empty()) {
        ENGINE_TRACE(L"Engine: failed to download suite update, error 0x%08x", download);
        OnBootstrapEvent(ebsDownloadUpdateFailure);
        if (download == kCancelled) {
            OnBootstrapEvent(ebsCanceled);
            return kCancelled;
        }
        return S_FALSE;
    }

    if (!kr::same_signer(m_launcherPath, downloaded)) {
        if (m_silent) {
            ENGINE_TRACE(L"Engine: Certificates for base and update do not match, no UI to prompt user for allowance.");
            return kAbortedByPolicy;
        }
        // The user interface's window is not known to the engine yet: the dialog has no owner.
        const LONG trusted = VerifyFileSignature(nullptr, downloaded);
        if (trusted != 0) {
            ENGINE_TRACE(L"Engine: verifytrust return value 0x%08x, last error 0x%08x", trusted, GetLastError());
            return kCancelled;
        }
    }

    ENGINE_TRACE(L"Engine: successfully downloaded suite update");
    OnBootstrapEvent(ebsDownloadUpdateSuccess);
    launched = true;
    RemoveStagingForUpdate(downloaded);

    ENGINE_TRACE(L"Engine: launching suite update");
    _stringx arguments = commandLine;
    arguments += L" -updated_from:\"";
    arguments += m_updateUrl;
    arguments += L"\"";
    if (!m_debugLogPath.empty()) {
        arguments += L" /debuglog\"";
        arguments += m_debugLogPath;
        arguments += L"\"";
    }
    ReleaseInstanceMutex();

    kr::launch_request request;
    request.program = downloaded;
    request.arguments = arguments;
    request.verb = L"open";
    request.show = SW_SHOWNORMAL;
    request.wait_flags = kr::launch_through_shell | kr::wait_for_exit;
    request.extra_flags = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    if (kr::launch_process(request) != kr::launch_started) {
        const DWORD error = kr::last_result();
        ENGINE_TRACE(L"Engine: failed to launch updated suite install, error 0x%08x, unable to continue.", error);
        return error ? FromLibraryError(error) : E_FAIL;
    }
    const DWORD exitCode = kr::state().last_exit_code;
    kr::close_last_process();
    return static_cast<HRESULT>(exitCode);
}

// 0 with the downloaded path, or the failure of the download.
HRESULT CSetupEngine::DownloadUpdateLauncher(const _stringx& base, const _stringx& fileName, const _stringx& folder,
                                             _stringx& downloaded)
{
    downloaded.clear();
    if (folder.empty())
        return FromLibraryError(kr::last_result() ? kr::last_result() : ERROR_PATH_NOT_FOUND);

    // The new launcher's expected size is taken to be our own.
    long long ownSize = 0;
    try {
        kr::file own;
        const DWORD opened = own.open(m_launcherPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING);
        if (opened != 0)
            throw kr::file_exception(m_launcherPath, opened);
        ownSize = static_cast<long long>(own.size64());
    } catch (const kr::win32_exception& failure) {
        ENGINE_TRACE(L"Engine: exception while attempting to read our file size, error 0x%08x",
                     FromLibraryError(failure.code()));
        ownSize = 0;
    }
    _stringx sizeText;
    sizeText.format(L"%I64d", ownSize);

    ENGINE_TRACE(L"Engine: attempting to download updated suite");
    try {
        CFile file;
        file.SetAttribute(L"Name", fileName);
        file.SetAttribute(L"Size", sizeText);
        const HRESULT hr = file.Stage(base, folder, sstUrl);
        if (FAILED(hr))
            return hr;
        downloaded = file.GetStagedPath();
        return S_OK;
    } catch (const bootstrap_exception& failure) {
        return failure.hresult();
    } catch (const kr::win32_exception& failure) {
        ENGINE_TRACE(L"Engine: error 0x%08x while attempting to download suite update",
                     FromLibraryError(failure.code()));
        return FromLibraryError(failure.code());
    } catch (const std::exception&) {
        ENGINE_TRACE(L"Engine: error 0x%08x while attempting to download suite update", E_FAIL);
        return E_FAIL;
    }
}

// This run's staged files and its staging folder go before the update takes
// over; the downloaded update itself stays even if staging recorded it.
void CSetupEngine::RemoveStagingForUpdate(const _stringx& keep)
{
    for (const _stringx& path : m_savedState.StagedFiles())
        if (path != keep)
            DeleteFileW(path.c_str());
    const _stringx folder = m_savedState.StagingFolder();
    if (!folder.empty() && !keep.starts_with(folder)) {
        m_savedState.RemoveStagingFiles();
    } else {
        m_savedState.RemoveStateInfo();
        // The update runs from the suite folder: the engine's end must leave it.
        m_keepStagedFiles = true;
    }
}

void CSetupEngine::ReleaseInstanceMutex()
{
    if (m_instanceMutex.get()) {
        ReleaseMutex(m_instanceMutex.get());
        m_instanceMutex.reset(nullptr);
    }
}
