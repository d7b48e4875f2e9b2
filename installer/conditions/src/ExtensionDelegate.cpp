#include "conditions/ExtensionDelegate.h"

#include <com/Variant.h>

#include "conditions/ExtensionHost.h"
#include "kr/trace_log.h"
#include "resources/Resource.h"
#include "seh/ForeignCall.h"
#include "seh/SehGuard.h"

#define DELEGATE_TRACE(...) TraceFormat({L"ExtensionDelegate", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kModuleNotFound = static_cast<HRESULT>(0x8007007E);
constexpr HRESULT kProcedureNotFound = static_cast<HRESULT>(0x8007007F);
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);

void SetLookUpResult(HRESULT status) noexcept
{
    SetLastError(static_cast<DWORD>(status));
}

// Stages a resource of the engine by name; 0x80070002 when there is none.
HRESULT StageNamedResource(IExtensionHost& host, const _stringx& name, _stringx& staged)
{
    CResource* resource = host.FindResourceByName(name);
    return resource ? resource->Stage(staged, nullptr) : kFileNotFound;
}

HRESULT AsHresult(ULONG_PTR word) noexcept
{
    return static_cast<HRESULT>(static_cast<DWORD>(word));
}

} // namespace

ExtensionDelegate::ExtensionDelegate(const _stringx& extensionType, const _stringx& namespaceUri,
                                     const _wstringx& name)
    : m_type(extensionType), m_name(name)
{
    IExtensionHost* host = ExtensionHost();
    m_resource = host ? host->FindResourceByNamespace(namespaceUri) : nullptr;
    if (m_resource && !m_resource->IsInitialized())
        m_resource->Initialize(nullptr);
    m_isScript = extensionType.starts_with(L"Nimbrel:") || namespaceUri == L"REViziz.dll";
    if (m_isScript)
        OpenScript();
}

ExtensionDelegate::~ExtensionDelegate() = default;

void ExtensionDelegate::OpenScript()
{
    IExtensionHost* host = ExtensionHost();
    if (!host)
        return;
    _stringx runtime;
    HRESULT hr = StageNamedResource(*host, L"KRRT.dll", runtime);
    if (FAILED(hr)) {
        DELEGATE_TRACE(L"Extension: failed to get KRRT.dll resource, error 0x%08x", hr);
        return;
    }
    _stringx script;
    hr = StageNamedResource(*host, L"setup.qlx", script);
    if (FAILED(hr)) {
        DELEGATE_TRACE(L"Extension: failed to get setup.qlx resource, error 0x%08x", hr);
        return;
    }
    // Without the engine's own module the look-up of its export would search
    // the launcher's image, so no script instance is made.
    if (!m_resource || !m_resource->Module()) {
        DELEGATE_TRACE(L"Extension: the script engine resource is missing or not loaded");
        return;
    }
    const _stringx folder = host->GetStagingFolder();
    m_script = std::make_unique<CNimbrelExtension>(m_resource->Module(), folder.path_combine(L"setup.qlx"), folder,
                                                   host->IsScriptDebugging(), host->GetSymbolPath());
}

ExtensionEntryPoint ExtensionDelegate::GetValidator()
{
    return LookUp(false);
}

ExtensionEntryPoint ExtensionDelegate::GetEvaluator()
{
    return LookUp(true);
}

ExtensionEntryPoint ExtensionDelegate::LookUp(bool evaluator)
{
    ExtensionEntryPoint entry;
    _wstringx entryName = m_name;
    entryName += evaluator ? L"_Evaluate" : L"_Validate";

    if (m_isScript) {
        if (!m_script) {
            SetLookUpResult(E_FAIL);
            return entry;
        }
        const HRESULT hr = m_script->FindFunction(_stringx(entryName.c_str()));
        if (FAILED(hr)) {
            DELEGATE_TRACE(L"Extension: couldn't find entry point '%s' in script, error 0x%08x", entryName.c_str(),
                           hr);
            SetLookUpResult(S_OK);
            return entry;
        }
        entry.script = m_script.get();
        entry.name = entryName;
        SetLookUpResult(S_OK);
        return entry;
    }

    if (!m_resource) {
        SetLookUpResult(E_FAIL);
        return entry;
    }
    if (!m_resource->Module()) {
        if (evaluator)
            DELEGATE_TRACE(L"Extension resource for entry point '%s' failed to load or is not a DLL (evaluate)",
                           m_name.c_str());
        else
            DELEGATE_TRACE(L"Extension resource for entry point '%s' failed to load or is not a DLL (validate)",
                           m_name.c_str());
        SetLookUpResult(kModuleNotFound);
        return entry;
    }
    const FARPROC function = GetProcAddress(m_resource->Module(), entryName.c_narrow());
    if (!function) {
        if (evaluator)
            DELEGATE_TRACE(L"Evaluation function entry point '%s' not for extension condition in DLL '%s'",
                           entryName.c_str(), m_resource->Location().c_str());
        else
            DELEGATE_TRACE(L"Validation function entry point '%s' not found for extension condition in DLL '%s'",
                           entryName.c_str(), m_resource->Location().c_str());
        SetLookUpResult(kProcedureNotFound);
        return entry;
    }
    entry.function = function;
    entry.name = entryName;
    SetLookUpResult(S_OK);
    return entry;
}

HRESULT ExtensionDelegate::CallValidator(const ExtensionEntryPoint& entry, ISuiteExtension* handler)
{
    if (entry.script) {
        // Held for the call only, so the handler still ends with its condition.
        const com::ComPtr<ISuiteExtension> held(handler);
        entry.script->Initialize(handler);
        const com::Variant argument = com::Variant::Dispatch(handler);
        com::Variant result;
        const HRESULT hr = entry.script->ScriptInvoke(_stringx(entry.name.c_str()), result.Put(), {argument.Get()});
        entry.script->RevokeSuiteExtension();
        if (FAILED(hr))
            return hr;
        return result.Type() == VT_I4 ? static_cast<HRESULT>(result.Get().lVal) : S_OK;
    }
    if (entry.function) {
        const SehOutcome outcome =
            RunSehGuarded([&] { return CallForeignEntry(entry.function, {ForeignArgument(handler)}); });
        if (outcome.raised) {
            DELEGATE_TRACE(L"Extension: unhandled exception from DLL extension validate entry point");
            return E_FAIL;
        }
        return AsHresult(outcome.result);
    }
    return kProcedureNotFound;
}

HRESULT ExtensionDelegate::CallEvaluator(const ExtensionEntryPoint& entry, ISuiteExtension* handler,
                                         VARIANT_BOOL* result)
{
    if (entry.script) {
        const com::Variant argument = com::Variant::Dispatch(handler);
        com::Variant answer;
        const HRESULT hr = entry.script->ScriptInvoke(_stringx(entry.name.c_str()), answer.Put(), {argument.Get()});
        entry.script->RevokeSuiteExtension();
        if (FAILED(hr))
            return hr;
        if (answer.Type() == VT_BOOL)
            *result = answer.Get().boolVal;
        else if (answer.Type() == VT_I4)
            *result = answer.Get().lVal ? VARIANT_TRUE : VARIANT_FALSE;
        else
            return DISP_E_TYPEMISMATCH;
        return hr;
    }
    if (entry.function) {
        const SehOutcome outcome = RunSehGuarded(
            [&] { return CallForeignEntry(entry.function, {ForeignArgument(handler), ForeignArgument(result)}); });
        if (outcome.raised) {
            DELEGATE_TRACE(L"Extension: unhandled exception from DLL extension evaluation entry point");
            return E_FAIL;
        }
        return AsHresult(outcome.result);
    }
    return kProcedureNotFound;
}
