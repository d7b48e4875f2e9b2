#include "conditions/UWPApiIsTypePresentCondition.h"

#include "conditions/EngineOsVersion.h"
#include "conditions/UwpApiInformation.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

// Windows 8 is 6.2.
constexpr unsigned kLastVersionWithoutRuntime = 601;

} // namespace

HRESULT CUWPApiIsTypePresent::Validate()
{
    m_typeName = ReadAttribute(L"Type");
    if (m_typeName.empty()) {
        CONDITION_TRACE(L"UWP API type present condition: no type specified");
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CUWPApiIsTypePresent::Evaluate(bool* result)
{
    if (EngineOsVersionNumber() > kLastVersionWithoutRuntime) {
        *result = IsUwpApiTypePresent(m_typeName);
        return S_OK;
    }
    CONDITION_TRACE(L"UWPIsTypePresent: unsupported platform (minimum required Windows 8.x), condition evaluated as false");
    *result = false;
    return S_OK;
}

std::unique_ptr<CCondition> MakeUWPApiIsTypePresentCondition()
{
    return std::make_unique<CUWPApiIsTypePresent>();
}
