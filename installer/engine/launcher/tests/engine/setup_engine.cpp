#include "setup_engine.h"

#include <cwchar>
#include <stdexcept>

#include "kr/bootstrap_exception.h"
#include "kr/inifilex.h"
#include "kr/trace_log.h"

namespace {

_stringx Environment(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length && length < 1024 ? _stringx(value, length) : _stringx();
}

HRESULT StatusFromEnvironment(const wchar_t* name)
{
    const _stringx text = Environment(name);
    return text.empty() ? S_OK : static_cast<HRESULT>(wcstoul(text.c_str(), nullptr, 16));
}

// The step's answer: its status, or an exception when the step is to throw.
HRESULT Answer(const wchar_t* step, const wchar_t* status_name)
{
    if (Environment(L"KR_TEST_ENGINE_THROW") != step)
        return StatusFromEnvironment(status_name);
    if (Environment(status_name).empty())
        throw std::runtime_error("test engine");
    throw bootstrap_exception(StatusFromEnvironment(status_name));
}

_stringx CurrentFolder()
{
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

} // namespace

CSetupEngine::CSetupEngine() : record_path_(Environment(L"KR_TEST_ENGINE_RECORD"))
{
}

CSetupEngine::~CSetupEngine()
{
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const TraceSettings& trace = TraceState();
    Record(L"program", program);
    Record(L"current_folder", CurrentFolder());
    Record(L"debug_log_path", debug_log_path_);
    Record(L"trace_on", trace.on ? L"1" : L"0");
    Record(L"trace_with_source", trace.with_source ? L"1" : L"0");
    Record(L"trace_log_path", GetTraceLogPath().c_str());
    Record(L"events", events_);
    Record(L"shutdowns", _stringx(shutdowns_));
    Record(L"released", L"1");
}

STDMETHODIMP CSetupEngine::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CSetupEngine::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) CSetupEngine::Release()
{
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT CSetupEngine::Initialize(BSTR command_line, bool* exit_now)
{
    *exit_now = Environment(L"KR_TEST_ENGINE_EXIT_NOW") == L"1";
    Record(L"arguments", command_line ? command_line : L"");
    Record(L"process_command_line", GetCommandLineW());
    const _stringx delay = Environment(L"KR_TEST_ENGINE_DELAY");
    if (!delay.empty())
        Sleep(wcstoul(delay.c_str(), nullptr, 10));
    _stringx apartment;
    APTTYPE type = APTTYPE_CURRENT;
    APTTYPEQUALIFIER qualifier = APTTYPEQUALIFIER_NONE;
    Record(L"apartment", SUCCEEDED(CoGetApartmentType(&type, &qualifier)) && type == APTTYPE_MAINSTA ? L"main-sta"
                                                                                                      : L"other");
    TraceFormat({L"TestEngine", __LINE__}, L"Test engine: initialize");
    return Answer(L"init", L"KR_TEST_ENGINE_INIT");
}

HRESULT CSetupEngine::DetermineFeatureStates()
{
    Record(L"run", L"1");
    return Answer(L"run", L"KR_TEST_ENGINE_RUN");
}

void CSetupEngine::ShutdownUIThread()
{
    ++shutdowns_;
}

void CSetupEngine::OnBootstrapEvent(EnumBootstrapState state)
{
    if (!events_.empty())
        events_ += L",";
    events_ += _stringx(static_cast<int>(state));
}

void CSetupEngine::Record(const wchar_t* key, const _stringx& value)
{
    if (record_path_.empty())
        return;
    inifilex record;
    record.load(record_path_, L"=", false);
    record.set_string(L"engine", key, value);
    record.save_as(record_path_, inifilex::use_given_encoding, 1200, true);
}
