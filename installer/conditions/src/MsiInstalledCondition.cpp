#include "conditions/MsiInstalledCondition.h"

#include <vector>

#include "conditions/GuidString.h"
#include "conditions/MsiQueries.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

// Cut at ";", empty pieces kept.
std::vector<_stringx> ProductCodes(const _stringx& list)
{
    return list.split(_stringx(L";"));
}

} // namespace

CMsiInstalledCondition::CMsiInstalledCondition()
{
    VariantInit(&m_expected);
}

CMsiInstalledCondition::~CMsiInstalledCondition()
{
    VariantClear(&m_expected);
}

HRESULT CMsiInstalledCondition::CheckCode(const _stringx& code, _stringx version)
{
    if (!IsValidGuidString(code)) {
        CONDITION_TRACE(L"MsiInstalled condition: invalid product code specified (%s)", code.c_str());
        return E_INVALIDARG;
    }
    if (!m_packageCode.empty() && !IsValidGuidString(m_packageCode)) {
        CONDITION_TRACE(L"MsiInstalled condition: invalid package code specified (%s)", m_packageCode.c_str());
        return E_INVALIDARG;
    }
    if (!m_patchCode.empty()) {
        // A patch test replaces the package and version tests.
        version.clear();
        m_packageCode.clear();
        if (!IsValidGuidString(m_patchCode)) {
            CONDITION_TRACE(L"MsiInstalled condition: invalid patch code specified (%s)", m_patchCode.c_str());
            return E_INVALIDARG;
        }
    }
    if (version.empty())
        return S_OK;
    Attributes().SetAttribute(L"Convert", L"ProductVersion");
    HRESULT hr = CConditionComparator::Parse();
    if (FAILED(hr)) {
        CONDITION_TRACE(L"MsiInstalled condition: invalid comparator specified (%x)", hr);
        return hr;
    }
    hr = CConditionValueTypeConverter::Parse();
    if (FAILED(hr)) {
        CONDITION_TRACE(L"MsiInstalled condition: invalid type conversion specified (%x)", hr);
        return hr;
    }
    m_versionTest = true;
    return Convert(version, &m_expected);
}

HRESULT CMsiInstalledCondition::Validate()
{
    m_versionTest = false;
    m_productList = false;
    m_productCode = ReadAttribute(L"ProductCode");
    m_packageCode = ReadAttribute(L"PackageCode");
    m_patchCode = ReadAttribute(L"PatchCode");
    const _stringx version = ReadAttribute(L"ProductVersion");

    if (!m_patchCode.empty() && m_productCode.find(L';') != _stringx::npos) {
        m_productList = true;
        for (const _stringx& code : ProductCodes(m_productCode)) {
            const HRESULT hr = CheckCode(code, _stringx());
            if (FAILED(hr))
                return hr;
        }
        return S_OK;
    }
    return CheckCode(m_productCode, version);
}

// Unbraced codes are valid here but unknown to Windows Installer, which
// would read an installed product as absent: they are braced first.
HRESULT CMsiInstalledCondition::EvaluateProduct(const _stringx& code, bool* result)
{
    *result = false;
    _stringx packageCode;
    if (QueryProductInfo(BracedGuidString(code), L"PackageCode", packageCode) != ERROR_SUCCESS)
        return S_OK;
    if (!m_packageCode.empty() && !(m_packageCode == packageCode))
        return S_OK;
    if (!m_patchCode.empty()) {
        _stringx localPackage;
        if (QueryPatchInfo(BracedGuidString(m_patchCode), L"LocalPackage", localPackage) != ERROR_SUCCESS)
            return S_OK;
    }
    if (!m_versionTest) {
        *result = true;
        return S_OK;
    }
    _stringx version;
    if (QueryProductInfo(BracedGuidString(code), L"VersionString", version) != ERROR_SUCCESS)
        return S_OK;
    VARIANT installed;
    VariantInit(&installed);
    HRESULT hr = Convert(version, &installed);
    if (FAILED(hr)) {
        CONDITION_TRACE(L"MsiInstalled condition: failed to convert registered version value (%s), error %x",
                        version.c_str(), hr);
        return hr;
    }
    bool matches = false;
    hr = Compare(installed, m_expected, &matches);
    VariantClear(&installed);
    if (FAILED(hr)) {
        CONDITION_TRACE(L"MsiInstalled condition: failed to evaluate comparison, error %x", hr);
        return hr;
    }
    *result = matches;
    return S_OK;
}

HRESULT CMsiInstalledCondition::Evaluate(bool* result)
{
    *result = false;
    if (!m_productList)
        return EvaluateProduct(m_productCode, result);
    for (const _stringx& code : ProductCodes(m_productCode)) {
        const HRESULT hr = EvaluateProduct(code, result);
        if (FAILED(hr) || *result)
            return hr;
    }
    return S_OK;
}

std::unique_ptr<CCondition> MakeMsiInstalledCondition()
{
    return std::make_unique<CMsiInstalledCondition>();
}
