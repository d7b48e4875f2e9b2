#include "actions/Action.h"

#include <algorithm>
#include <cwchar>

#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/Parcel.h"

namespace {

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

constexpr HRESULT kActionFailed = static_cast<HRESULT>(0x80070643);    // ERROR_INSTALL_FAILURE
constexpr HRESULT kActionCancelled = static_cast<HRESULT>(0x80070642); // ERROR_INSTALL_USEREXIT
constexpr HRESULT kActionNeedsReboot = static_cast<HRESULT>(0x80070BC2); // ERROR_SUCCESS_REBOOT_REQUIRED

bool Holds(const std::vector<DWORD>& list, DWORD code)
{
    return std::find(list.begin(), list.end(), code) != list.end();
}

void Append(std::vector<DWORD>& list, const _stringx& value)
{
    const std::vector<DWORD> codes = ParseActionCodeList(value);
    list.insert(list.end(), codes.begin(), codes.end());
}

_stringx Trimmed(const _stringx& piece)
{
    constexpr wchar_t kBlank[] = L"\n\t ";
    std::wstring text(piece.c_str(), piece.length());
    const size_t first = text.find_first_not_of(kBlank);
    if (first == std::wstring::npos)
        return _stringx();
    const size_t last = text.find_last_not_of(kBlank);
    return _stringx(text.c_str() + first, last - first + 1);
}

} // namespace

std::vector<DWORD> ParseActionCodeList(const _stringx& value)
{
    std::vector<DWORD> codes;
    if (value.empty())
        return codes;
    size_t start = 0;
    while (start < value.length()) {
        const size_t comma = value.find(L',', start);
        const size_t end = comma == _stringx::npos ? value.length() : comma;
        const _stringx piece = Trimmed(_stringx(value.c_str() + start, end - start));
        codes.push_back(static_cast<DWORD>(std::wcstoul(piece.c_str(), nullptr, 10)));
        if (comma == _stringx::npos)
            break;
        start = comma + 1;
    }
    return codes;
}

void CAction::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Id") {
        m_id = value;
    } else if (name == L"File") {
        m_file = value;
    } else if (name == L"Resource") {
        m_resource = value;
    } else if (name == L"ExecutionLevel") {
        if (value == L"Admin") {
            m_executionLevel = aelAdmin;
        } else {
            if (value != L"Invoker")
                TraceFormat(ACTION_SOURCE,
                            L"Invalid execution level attribute value specified (%s), will default to invoker",
                            value.c_str());
            m_executionLevel = aelInvoker;
        }
    } else if (name == L"Arguments") {
        m_arguments = value;
    } else if (name == L"IgnoreCode") {
        Append(m_ignoreCodes, value);
    } else if (name == L"AbortCode") {
        Append(m_abortCodes, value);
    } else if (name == L"RebootCode") {
        Append(m_rebootCodes, value);
    } else if (name == L"CancelCode") {
        Append(m_cancelCodes, value);
    } else if (name == L"DefaultCode") {
        static constexpr const wchar_t* kDefaults[] = {L"Ignore", L"Abort", L"Reboot", L"Cancel"};
        m_defaultCode = -1;
        for (int code = adcIgnore; code <= adcCancel; ++code) {
            if (value == kDefaults[code])
                m_defaultCode = code;
        }
        if (m_defaultCode < 0) {
            TraceFormat(ACTION_SOURCE,
                        L"Suite action '%s' has invalid default error code processing value (%s), ignoring and "
                        L"setting to abort",
                        m_id.c_str(), value.c_str());
            m_defaultCode = adcAbort;
        }
    } else {
        CProperties::SetAttribute(name, value);
    }
}

HRESULT CAction::ProcessReturnCode(DWORD code)
{
    TraceFormat(ACTION_SOURCE, L"Action returned value 0x%08x", code);
    if (Holds(m_ignoreCodes, code))
        return S_OK;
    if (Holds(m_abortCodes, code))
        return kActionFailed;
    if (Holds(m_cancelCodes, code))
        return kActionCancelled;
    if (Holds(m_rebootCodes, code))
        return kActionNeedsReboot;
    if (code == 0)
        return S_OK;
    switch (m_defaultCode) {
    case adcIgnore:
        return S_OK;
    case adcReboot:
        return kActionNeedsReboot;
    case adcCancel:
        return kActionCancelled;
    default:
        return kActionFailed;
    }
}

_stringx CAction::Expand(const _stringx& text, CParcel* parcel)
{
    if (parcel)
        return parcel->FormatString(text);
    ISetupEngine* engine = SetupEngine();
    return engine ? engine->FormatString(text) : text;
}

bool CAction::NeedsElevatedProxy() const
{
    if (m_executionLevel != aelAdmin)
        return false;
    IEngineServices* engine = EngineServices();
    return !engine || !engine->IsElevated();
}

void CAction::UseFixedCodes(DWORD refusedCode)
{
    m_defaultCode = adcAbort;
    m_ignoreCodes = {0};
    m_cancelCodes = {0x80070642, 1602, 0x80004004};
    m_abortCodes = {0x80070643, 1603, 0x80004005, refusedCode};
    m_rebootCodes = {0x80070669, 1641, 0x80070BC2, 3010};
}
