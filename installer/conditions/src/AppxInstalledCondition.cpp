#include "conditions/AppxInstalledCondition.h"

#include <cstring>

#include "conditions/SetupEngine.h"
#include "conditions/Version.h"
#include "kr/trace_log.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyConnection.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

constexpr DWORD kAppxRequest = 11;
constexpr DWORD kInstalledQuery = 3;
constexpr HRESULT kNoHelper = static_cast<HRESULT>(0x800700E9);

const wchar_t* const kArchitectures[] = {L"x86", L"x64", L"ARM", L"Neutral"};

DWORD ByteLength(const _stringx& text)
{
    return static_cast<DWORD>(text.length() * sizeof(wchar_t));
}

} // namespace

HRESULT CAppxInstalledCondition::Validate()
{
    m_name = ReadAttribute(L"Name");
    m_publisher = ReadAttribute(L"Publisher");
    m_architecture = ReadAttribute(L"ProcessorArchitecture");
    const _stringx version = ReadAttribute(L"Version");
    if (m_name.empty()) {
        CONDITION_TRACE(L"AppxInstalled: the application Name attribute is required");
        return E_INVALIDARG;
    }
    if (!m_architecture.empty()) {
        bool known = false;
        for (const wchar_t* architecture : kArchitectures)
            known = known || m_architecture == architecture;
        if (!known) {
            CONDITION_TRACE(L"AppxInstalled: invalid processor architecture attribute value specified: %s",
                            m_architecture.c_str());
            return E_INVALIDARG;
        }
    }
    m_versionHigh = m_versionLow = 0;
    if (version.empty())
        return S_OK;
    HRESULT hr = Parse();
    if (FAILED(hr)) {
        CONDITION_TRACE(L"AppxInstalled: invalid comparator type specified: %s (error 0x%08x)",
                        ReadAttribute(L"Compare").c_str(), hr);
        return hr;
    }
    hr = ParseVersion4(version, &m_versionHigh, &m_versionLow);
    if (FAILED(hr)) {
        CONDITION_TRACE(L"AppxInstalled: invalid version attribute value specified: %s (error 0x%08x)",
                        version.c_str(), hr);
        return hr;
    }
    return S_OK;
}

std::vector<BYTE> CAppxInstalledCondition::QueryRecord() const
{
    return WriteAppxRequestRecord({kInstalledQuery, static_cast<DWORD>(Operator()), m_versionHigh, m_versionLow,
                                   m_architecture, m_publisher});
}

HRESULT CAppxInstalledCondition::Evaluate(bool* result)
{
    *result = false;
    ISetupEngine* engine = SetupEngine();
    IProxyConnection* helper = engine ? engine->GetAppxHelperProxyHandler() : nullptr;
    if (!helper) {
        if (GetLastError() == ERROR_NOT_SUPPORTED) {
            CONDITION_TRACE(L"AppxInstalled: condition not supported on this platform, will return false");
            return S_OK;
        }
        CONDITION_TRACE(L"AppxInstalled: failed to obtain appx helper proxy handler");
        return kNoHelper;
    }
    const std::vector<BYTE> record = QueryRecord();
    const DWORD answer = helper->SendRequest(kAppxRequest, 0, m_name.c_str(), ByteLength(m_name), record.data(),
                                             static_cast<DWORD>(record.size()));
    if (answer == ERROR_SUCCESS || answer == ERROR_UNKNOWN_PRODUCT) {
        CONDITION_TRACE(L"AppxInstalled: result 0x%08x", answer);
        *result = answer == ERROR_SUCCESS;
        return S_OK;
    }
    CONDITION_TRACE(L"AppxInstalled: failed to evaluate condition, error 0x%08x", answer);
    return static_cast<int>(answer) > 0 ? HRESULT_FROM_WIN32(answer) : static_cast<HRESULT>(answer);
}

std::unique_ptr<CCondition> MakeAppxInstalledCondition()
{
    return std::make_unique<CAppxInstalledCondition>();
}
