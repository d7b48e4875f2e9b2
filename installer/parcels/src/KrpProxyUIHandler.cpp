#include "parcels/KrpProxyUIHandler.h"

namespace {

constexpr int kProgressMaximum = 100;
constexpr int kMessageValid = 2;
constexpr int kProgressValid = 1;

// The script engine, freed when the call is over.
class ModuleHolder {
public:
    explicit ModuleHolder(HMODULE module) noexcept : module_(module) {}
    ~ModuleHolder()
    {
        if (module_)
            FreeLibrary(module_);
    }
    ModuleHolder(const ModuleHolder&) = delete;
    ModuleHolder& operator=(const ModuleHolder&) = delete;
    HMODULE get() const noexcept { return module_; }

private:
    HMODULE module_;
};

} // namespace

HRESULT CKrpProxyUIHandler::OnProgress(const wchar_t* text, int position, BOOL textValid, BOOL progressValid)
{
    const _stringx message = textValid && text ? _stringx(text) : _stringx();
    const int flags = textValid ? kMessageValid : (progressValid ? kProgressValid : 0);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    OnProgress(message, static_cast<int>(static_cast<WORD>(position)), kProgressMaximum, flags, &cancel);
    return cancel == VARIANT_TRUE ? E_ABORT : S_OK;
}

HRESULT CKrpProxyUIHandler::OnQuery(const wchar_t* text, int queryKind, BSTR* answer, int* answerKind)
{
    _stringx media;
    const HRESULT hr = OnQuery(text ? _stringx(text) : _stringx(), queryKind, media, answerKind);
    if (FAILED(hr))
        return hr;
    if (!answer)
        return E_POINTER;
    *answer = SysAllocStringLen(media.c_str(), static_cast<UINT>(media.length()));
    return *answer ? hr : E_OUTOFMEMORY;
}

HRESULT CKrpProxyUIHandler::OnError(const wchar_t* text, int errorFlags, int* action)
{
    return OnError(text ? _stringx(text) : _stringx(), errorFlags, action);
}

HRESULT CKrpProxyUIHandler::RunSetup(const _stringx& engineDll, const _stringx& setupPath,
                                     const _stringx& commandLine, IDispatch* extension)
{
    ModuleHolder engine(LoadLibraryW(engineDll.c_str()));
    if (!engine.get())
        return kScriptEngineNotLoaded;
    const auto entry = reinterpret_cast<SuiteStartupInstallEntry>(
        reinterpret_cast<void*>(GetProcAddress(engine.get(), "SuiteStartupInstall")));
    if (!entry)
        return kScriptEngineEntryMissing;
    const _stringx folder = setupPath.path_folder();
    return entry(folder.c_str(), commandLine.c_str(), extension, this);
}
