#include "conditions/ExtensionCondition.h"

#include "kr/trace_log.h"

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

CExtensionCondition::~CExtensionCondition()
{
    if (m_handler)
        m_handler->ForgetCondition();
}

void CExtensionCondition::SetExtension(const _stringx& namespaceUri, const _stringx& name)
{
    m_namespace = namespaceUri;
    m_name = name.to_wstringx();
}

HRESULT CExtensionCondition::Validate()
{
    com::ComPtr<com::Object<CExtensionHandler>> handler;
    const HRESULT created = CExtensionHandler::CreateInstance(handler);
    if (FAILED(created)) {
        CONDITION_TRACE(L"Failed to create extension handler instance, error %x", created);
        return created;
    }
    if (m_handler)
        m_handler->ForgetCondition();
    m_handler = std::move(handler);
    return m_handler->Initialize(this, m_namespace, m_name);
}

HRESULT CExtensionCondition::Evaluate(bool* result)
{
    if (!m_handler) {
        CONDITION_TRACE(L"Unable to evaluate extension condition '%s:%s', no handler available", m_namespace.c_str(),
                        m_name.c_str());
        return E_FAIL;
    }
    if (result)
        *result = false;
    VARIANT_BOOL answer = VARIANT_FALSE;
    const HRESULT hr = m_handler->Evaluate(&answer);
    if (FAILED(hr)) {
        CONDITION_TRACE(L"Extension condition evaluation failed with status %x", hr);
        return hr;
    }
    if (result)
        *result = answer == VARIANT_TRUE;
    return hr;
}

std::unique_ptr<CCondition> MakeExtensionCondition()
{
    return std::make_unique<CExtensionCondition>();
}
