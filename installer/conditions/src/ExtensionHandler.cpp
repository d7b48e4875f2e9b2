#include "conditions/ExtensionHandler.h"

#include <new>

#include <com/Bstr.h>

#include "automation/TypeLibrary.h"
#include "conditions/Condition.h"
#include "conditions/ExtensionDelegate.h"
#include "conditions/ExtensionHost.h"
#include "kr/trace_log.h"

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

namespace {

_stringx In(BSTR text)
{
    return text ? _stringx(text, SysStringLen(text)) : _stringx();
}

IBootstrap* EngineBootstrap()
{
    IExtensionHost* host = ExtensionHost();
    return host ? host->Bootstrap() : nullptr;
}

} // namespace

CExtensionHandler::CExtensionHandler() : com::DispatchImpl<ISuiteExtension>(TessarelTypeInfo<&IID_ISuiteExtension>())
{
}

CExtensionHandler::~CExtensionHandler() = default;

HRESULT CExtensionHandler::CreateInstance(com::ComPtr<com::Object<CExtensionHandler>>& out)
{
    return com::MakeObject(out);
}

std::span<const com::InterfaceEntry> CExtensionHandler::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CExtensionHandler, ISuiteExtension>(IID_ISuiteExtension),
        com::InterfaceOf<CExtensionHandler, ISuiteExtension>(IID_IDispatch),
    };
    return table;
}

HRESULT CExtensionHandler::Initialize(CCondition* condition, const _stringx& namespaceUri, const _wstringx& name)
{
    if (!condition || namespaceUri.empty() || name.empty())
        return E_INVALIDARG;
    m_condition = condition;
    try {
        m_delegate = std::make_unique<ExtensionDelegate>(condition->ReadAttribute(L"ExtType"), namespaceUri, name);
    } catch (const std::bad_alloc&) {
        m_delegate.reset();
        CONDITION_TRACE(L"Extension handler: failed to create extension delegate");
        return E_OUTOFMEMORY;
    }
    const ExtensionEntryPoint validator = m_delegate->GetValidator();
    const HRESULT lookUp = static_cast<HRESULT>(GetLastError());
    if (lookUp != S_OK) {
        CONDITION_TRACE(L"Extension handler: error 0x%08x trying to get validator", lookUp);
        return lookUp;
    }
    return m_delegate->CallValidator(validator, this);
}

HRESULT CExtensionHandler::Evaluate(VARIANT_BOOL* result)
{
    if (!m_condition || !m_delegate)
        return E_FAIL;
    const ExtensionEntryPoint evaluator = m_delegate->GetEvaluator();
    const HRESULT lookUp = static_cast<HRESULT>(GetLastError());
    if (lookUp != S_OK) {
        CONDITION_TRACE(L"Extension handler: error 0x%08x trying to get evaluator", lookUp);
        return lookUp;
    }
    return m_delegate->CallEvaluator(evaluator, this, result);
}

STDMETHODIMP CExtensionHandler::get_Attribute(BSTR name, BSTR* value)
{
    if (!value)
        return E_POINTER;
    const _stringx text = m_condition ? m_condition->ReadAttribute(In(name)) : _stringx();
    *value = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CExtensionHandler::LogInfo(BSTR text)
{
    IBootstrap* engine = EngineBootstrap();
    if (!engine)
        return E_FAIL;
    const _stringx line = _stringx(L"(Extension condition): ") + In(text);
    com::Bstr message(std::wstring_view(line.c_str(), line.size()));
    if (message.IsNull())
        return E_OUTOFMEMORY;
    return engine->LogInfo(message.Get());
}

STDMETHODIMP CExtensionHandler::get_Property(BSTR name, BSTR* value)
{
    IBootstrap* engine = EngineBootstrap();
    return engine ? engine->get_Property(name, value) : E_FAIL;
}

STDMETHODIMP CExtensionHandler::put_Property(BSTR name, BSTR value)
{
    IBootstrap* engine = EngineBootstrap();
    return engine ? engine->put_Property(name, value) : E_FAIL;
}

STDMETHODIMP CExtensionHandler::FormatProperty(BSTR text, BSTR* formatted)
{
    IBootstrap* engine = EngineBootstrap();
    return engine ? engine->SubstitutePropertyValues(text, formatted) : E_FAIL;
}

STDMETHODIMP CExtensionHandler::ResolveString(BSTR id, BSTR* resolved)
{
    IBootstrap* engine = EngineBootstrap();
    return engine ? engine->ResolveString(id, resolved) : E_FAIL;
}
