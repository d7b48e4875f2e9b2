#include "conditions/MsiRelatedCondition.h"

#include <vector>

#include "conditions/GuidString.h"
#include "conditions/MsiInstalledCondition.h"
#include "conditions/MsiQueries.h"
#include "conditions/Version.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

} // namespace

HRESULT CMsiRelatedCondition::Validate()
{
    m_upgradeCode = ReadAttribute(L"UpgradeCode");
    if (m_upgradeCode.empty() || !IsValidGuidString(m_upgradeCode)) {
        CONDITION_TRACE(L"MsiRelated: invalid upgrade code specified ('%s')", m_upgradeCode.c_str());
        return E_INVALIDARG;
    }
    m_minimum = ReadAttribute(L"MinimumVersion");
    m_maximum = ReadAttribute(L"MaximumVersion");
    m_minimumInclusive = m_maximumInclusive = false;
    if (m_minimum.empty() && m_maximum.empty())
        return S_OK;
    DWORD version = 0;
    HRESULT hr = S_OK;
    if (!m_minimum.empty() && FAILED(hr = ParseVersion3(m_minimum, &version))) {
        CONDITION_TRACE(L"MsiRelated: invalid minimum version supplied: '%s', error %x", m_minimum.c_str(), hr);
        return hr;
    }
    if (!m_maximum.empty() && FAILED(hr = ParseVersion3(m_maximum, &version))) {
        CONDITION_TRACE(L"MsiRelated: invalid maximum version supplied: '%s', error %x", m_maximum.c_str(), hr);
        return hr;
    }
    m_minimumInclusive = ReadAttribute(L"MinimumVersionInclusive") == L"yes";
    m_maximumInclusive = ReadAttribute(L"MaximumVersionInclusive") == L"yes";
    return S_OK;
}

HRESULT CMsiRelatedCondition::TestBound(const _stringx& product, const _stringx& version, const wchar_t* compare,
                                        bool* result) const
{
    CMsiInstalledCondition installed;
    installed.Attributes().SetAttribute(L"ProductCode", product);
    installed.Attributes().SetAttribute(L"ProductVersion", version);
    installed.Attributes().SetAttribute(L"Compare", compare);
    HRESULT hr = installed.Validate();
    if (FAILED(hr)) {
        CONDITION_TRACE(L"MsiRelated evaluation: failed to build MsiInstalled condition, error %x", hr);
        return hr;
    }
    hr = installed.Evaluate(result);
    if (FAILED(hr))
        CONDITION_TRACE(L"MsiRelated evaluation: failed to evaluate MsiInstalled condition, error %x", hr);
    return hr;
}

HRESULT CMsiRelatedCondition::Evaluate(bool* result)
{
    *result = false;
    std::vector<_stringx> products;
    _stringx product;
    const _stringx upgradeCode = BracedGuidString(m_upgradeCode);
    for (DWORD index = 0; EnumRelatedProduct(upgradeCode, index, product) == ERROR_SUCCESS; ++index) {
        if (!product.empty())
            products.push_back(product);
    }
    if (products.empty())
        return S_OK;
    if (m_minimum.empty() && m_maximum.empty()) {
        *result = true;
        return S_OK;
    }
    for (const _stringx& code : products) {
        bool above = true;
        bool below = true;
        HRESULT hr = S_OK;
        if (!m_minimum.empty() &&
            FAILED(hr = TestBound(code, m_minimum, m_minimumInclusive ? L"GreaterEqual" : L"GreaterThan", &above)))
            return hr;
        if (!m_maximum.empty() &&
            FAILED(hr = TestBound(code, m_maximum, m_maximumInclusive ? L"LessEqual" : L"LessThan", &below)))
            return hr;
        if (above && below) {
            *result = true;
            return S_OK;
        }
    }
    return S_OK;
}

std::unique_ptr<CCondition> MakeMsiRelatedCondition()
{
    return std::make_unique<CMsiRelatedCondition>();
}
