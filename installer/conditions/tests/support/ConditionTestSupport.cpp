#include "ConditionTestSupport.h"

#include <string>

#include "conditions/FormattedString.h"
#include "kr/trace_log.h"

namespace testing_support {

FakeEngine::FakeEngine()
{
    SetSetupEngine(this);
}

FakeEngine::~FakeEngine()
{
    SetSetupEngine(nullptr);
}

_stringx FakeEngine::FormatString(const _stringx& text)
{
    ++formatCalls;
    return FormatPropertyString(text, &store);
}

void FakeEngine::SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked)
{
    const bool previous = store.OverwriteLocked();
    store.SetOverwriteLocked(overwriteLocked);
    store.SetAttribute(name, value);
    store.SetOverwriteLocked(previous);
}

HRESULT FakeEngine::CreateSuiteObject(const _stringx& name, IDispatch** object, HMODULE* module)
{
    if (!objects)
        return E_NOINTERFACE;
    return objects(name, object, module);
}

HRESULT FakeEngine::get_Parcels(IParcels** out)
{
    *out = parcels;
    if (!parcels)
        return E_NOTIMPL;
    parcels->AddRef();
    return S_OK;
}

ScriptedCondition::ScriptedCondition(std::shared_ptr<ConditionRecord> record, bool result, HRESULT evaluateResult,
                                     HRESULT validateResult)
    : m_record(std::move(record)), m_result(result), m_evaluateResult(evaluateResult),
      m_validateResult(validateResult)
{
}

ScriptedCondition::~ScriptedCondition()
{
    m_record->destroyed = true;
}

HRESULT ScriptedCondition::Validate()
{
    ++m_record->validations;
    return m_validateResult;
}

HRESULT ScriptedCondition::Evaluate(bool* result)
{
    ++m_record->evaluations;
    *result = m_result;
    return m_evaluateResult;
}

TraceCapture::TraceCapture()
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    static int counter = 0;
    m_path = std::wstring(folder) + L"conditions_trace_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
             std::to_wstring(++counter) + L".log";
    DeleteFileW(m_path.c_str());
    ResetTraceState();
    TraceState().on = true;
    TraceState().undecided = false;
    TraceState().with_source = false;
    SetTraceLogPath(m_path.c_str());
}

TraceCapture::~TraceCapture()
{
    ResetTraceState();
    DeleteFileW(m_path.c_str());
}

std::wstring TraceCapture::Messages() const
{
    std::wstring text;
    HANDLE file = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read)
        bytes.append(chunk, read);
    CloseHandle(file);
    if (bytes.size() >= 2 && bytes.compare(0, 2, "\xFF\xFE") == 0)
        bytes.erase(0, 2);
    const std::wstring lines(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    // Each line is "date[time]: message\r\n"; keep the messages.
    size_t start = 0;
    while (start < lines.size()) {
        size_t end = lines.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = lines.size();
        const std::wstring line = lines.substr(start, end - start);
        const size_t colon = line.find(L"]: ");
        text += colon == std::wstring::npos ? line : line.substr(colon + 3);
        text += L'\n';
        start = end + 2;
    }
    return text;
}

} // namespace testing_support
