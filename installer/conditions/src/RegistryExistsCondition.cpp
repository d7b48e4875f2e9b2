#include "conditions/RegistryExistsCondition.h"

#include "conditions/RegistryProvider.h"
#include "kr/trace_log.h"

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

HRESULT CRegistryExistsCondition::Validate()
{
    m_check64Bit = false;
    const _stringx key = ReadAttribute(L"Key");
    if (key.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Invalid registry exists condition: no key specified");
        return E_INVALIDARG;
    }
    m_check64Bit = ReadAttribute(L"Check64Bit") == L"true";
    m_keyPath = key;
    m_valueName = ReadAttribute(L"ValueName");
    return S_OK;
}

HRESULT CRegistryExistsCondition::ResolveTarget(Target* target) const
{
    const _stringx keyPath = FormatString(m_keyPath);
    target->valueName = FormatString(m_valueName);
    target->root = ParseRegistryRoot(keyPath);
    if (target->root == kInvalidRegistryRoot) {
        target->root = nullptr;
        TraceFormat(CONDITION_SOURCE, L"Invalid registry exists condition root: %s", keyPath.c_str());
        return E_INVALIDARG;
    }
    target->subKey = ParseRegistrySubKey(keyPath);
    return S_OK;
}

HRESULT CRegistryExistsCondition::EvaluateExists(Target* target, bool* result) const
{
    *result = false;
    const HRESULT hr = ResolveTarget(target);
    if (FAILED(hr))
        return hr;
    *result = CRegistryProvider(target->root, target->subKey, m_check64Bit, target->valueName).Exists();
    return S_OK;
}

HRESULT CRegistryExistsCondition::Evaluate(bool* result)
{
    Target target;
    return EvaluateExists(&target, result);
}
