#include "conditions/NimbrelExtension.h"

#include <com/Variant.h>

#include "kr/trace_log.h"

#define SCRIPT_TRACE(...) TraceFormat({L"NimbrelExtension", __LINE__}, __VA_ARGS__)

namespace {

VARIANT Empty() noexcept
{
    VARIANT v;
    VariantInit(&v);
    return v;
}

} // namespace

CNimbrelExtension::CNimbrelExtension(HMODULE engineModule, const _stringx& scriptPath, const _stringx& initText,
                                     bool debug, const _stringx& debugText)
    : m_initText(initText)
{
    const auto getEngine = reinterpret_cast<GetScriptEngineEntry>(
        reinterpret_cast<void*>(engineModule ? GetProcAddress(engineModule, "GetScriptEngine") : nullptr));
    if (!getEngine) {
        SCRIPT_TRACE(L"Script extension: script entry point not found in REViziz.dll, is this a supported version?");
        return;
    }
    HRESULT hr = getEngine(m_engine.Put(), m_context.Put());
    if (FAILED(hr)) {
        SCRIPT_TRACE(L"Script extension: failed to get script engine, error 0x%08x", hr);
        m_context.Reset();
        m_engine.Reset();
        return;
    }
    hr = m_engine ? m_engine->OpenScript(scriptPath.c_str()) : E_POINTER;
    if (FAILED(hr)) {
        m_context.Reset();
        m_engine.Reset();
        SCRIPT_TRACE(L"Script extension: failed to open script, error 0x%08x", hr);
        return;
    }
    if (debug)
        m_engine->StartDebugging(debugText.c_str(), m_context.Get());
}

CNimbrelExtension::~CNimbrelExtension()
{
    if (m_initialized) {
        com::Variant ignored;
        ScriptInvoke(L"__KRRTSuiteExtUninit", ignored.Put());
    }
    m_context.Reset();
    m_engine.Reset();
}

HRESULT CNimbrelExtension::LookUp(const _stringx& function, com::ComPtr<IDispatch>& script, DISPID& id) const
{
    if (!m_engine)
        return E_POINTER;
    HRESULT hr = m_engine.As(IID_IDispatch, script);
    if (FAILED(hr))
        return hr;
    if (!script)
        return E_POINTER;
    LPOLESTR name = const_cast<LPOLESTR>(function.c_str());
    return script->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
}

HRESULT CNimbrelExtension::FindFunction(const _stringx& function) const
{
    com::ComPtr<IDispatch> script;
    DISPID id = DISPID_UNKNOWN;
    return LookUp(function, script, id);
}

HRESULT CNimbrelExtension::ScriptInvoke(const _stringx& function, VARIANT* result,
                                        std::initializer_list<VARIANT> arguments)
{
    if (arguments.size() > kMaxArguments)
        return E_INVALIDARG;
    // Copies, in script order; IDispatch::Invoke takes them last first.
    com::Variant copies[kMaxArguments];
    size_t count = 0;
    size_t i = 0;
    for (const VARIANT& argument : arguments) {
        const HRESULT copied = com::Variant::CopyFrom(argument, copies[i]);
        if (FAILED(copied))
            return copied;
        ++i;
        if (argument.vt != VT_EMPTY)
            count = i;
    }
    VARIANT passed[kMaxArguments];
    for (size_t k = 0; k < count; ++k)
        passed[k] = copies[count - 1 - k].Get();

    com::ComPtr<IDispatch> script;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = LookUp(function, script, id);
    if (FAILED(hr)) {
        SCRIPT_TRACE(L"ScriptInvoke: failed to get id for function '%s', error 0x%08x", function.c_str(), hr);
        return hr;
    }
    DISPPARAMS params{count ? passed : nullptr, nullptr, static_cast<UINT>(count), 0};
    return script->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

HRESULT CNimbrelExtension::Initialize(IDispatch* extension)
{
    VARIANT context = Empty();
    context.vt = VT_I4;
    context.lVal = static_cast<LONG>(reinterpret_cast<LONG_PTR>(m_context.Get()));
    const com::Variant initText = com::Variant::String(std::wstring_view(m_initText.c_str(), m_initText.size()));
    com::Variant ignored;
    HRESULT hr = ScriptInvoke(L"__KRRTSuiteExtInit", ignored.Put(), {context, initText.Get()});
    if (FAILED(hr)) {
        SCRIPT_TRACE(L"ScriptExtension: failed to init script, error 0x%08x", hr);
        return hr;
    }
    hr = SetSuiteExtension(extension);
    m_initialized = SUCCEEDED(hr);
    return hr;
}

HRESULT CNimbrelExtension::SetSuiteExtension(IDispatch* extension)
{
    const com::Variant argument = com::Variant::Dispatch(extension);
    com::Variant ignored;
    return ScriptInvoke(L"__SetSuiteExtension", ignored.Put(), {argument.Get()});
}

HRESULT CNimbrelExtension::RevokeSuiteExtension()
{
    com::Variant ignored;
    return ScriptInvoke(L"__RevokeSuiteExtension", ignored.Put());
}
