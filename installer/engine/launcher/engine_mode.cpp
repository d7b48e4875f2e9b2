#include "engine_mode.h"

#include <new>

#include "com/ComPtr.h"
#include "command_line.h"
#include "command_line_property.h"
#include "debug_marker.h"
#include "exception_status.h"
#include "exit_status.h"
#include "kr/file_system.h"
#include "kr/holders.h"
#include "kr/trace_log.h"
#include "log_failure_box.h"
#include "automation/ProxyStubRegistration.h"
#include "setup_engine.h"
#include "temp_launch.h"

namespace {

constexpr DWORD kLogFailure = ERROR_INSTALL_LOG_FAILURE; // 1622
constexpr wchar_t kWizardCaption[] = L"Korvanstilmer Wizard";
constexpr wchar_t kLogFileName[] = L"Korvanstilmer.log";

#define TESSAREL_TRACE(...) TraceFormat({L"Tessarel", __LINE__}, __VA_ARGS__)

// Switches the trace log on for the "debuglog" switch or the payload's marker
// and chooses its file. False when the named log folder does not exist.
bool SettleTraceLog(command_line& line, _stringx& log_path)
{
    kr::bstr_holder value;
    const bool switched = line.find_switch(L"debuglog", value.address(), false, true);
    log_path = _stringx(value.get());
    if (!switched && !HasDebugMarker())
        return true;

    TraceSettings& trace = TraceState();
    trace.on = true;
    trace.with_source = false;
    if (!log_path.empty()) {
        log_path.unquote();
        const size_t slash = log_path.rfind(L"\\");
        const _stringx folder = slash == _stringx::npos ? _stringx() : log_path.substr(0, slash + 1);
        if (!kr::path_test(folder, kr::path_accept_folder))
            return false;
        SetTraceLogPath(_wstringx(log_path.c_str()));
        return true;
    }
    _stringx folder;
    if (GetCommandLineProperty(L"ORIGINALSETUPEXEDIR", folder)) {
        log_path = folder;
        log_path.append_with_separator(kLogFileName, L'\\');
        SetTraceLogPath(_wstringx(log_path.c_str()));
    } else {
        log_path = _stringx(GetTraceLogPath().c_str());
    }
    return true;
}

// Initialisation and run; the final status, or the initialisation's status
// unchanged when it handed the work to an updated suite.
DWORD InitializeAndRunRegistered(CSetupEngine& engine, BSTR arguments)
{
    bool exit_now = false;
    const HRESULT initialized = engine.Initialize(arguments, &exit_now);
    if (exit_now) {
        engine.ShutdownUIThread();
        return static_cast<DWORD>(initialized);
    }
    HRESULT status = initialized;
    if (FAILED(initialized)) {
        engine.OnBootstrapEvent(ebsCanceled);
    } else {
        status = engine.DetermineFeatureStates();
        if (FAILED(status))
            engine.OnBootstrapEvent(ebsCanceled);
    }
    engine.ShutdownUIThread();
    return MapExitStatus(status);
}

// An exception that leaves the engine ends the run like any failure: the user
// interface hears that the run was cancelled and stops, and the exception's
// status is mapped.
DWORD EndAfterException(CSetupEngine& engine)
{
    const HRESULT status = StatusOfCurrentException();
    try {
        engine.OnBootstrapEvent(ebsCanceled);
    } catch (...) {
    }
    try {
        engine.ShutdownUIThread();
    } catch (...) {
    }
    return MapExitStatus(status);
}

DWORD InitializeAndRun(CSetupEngine& engine, command_line& line)
{
    TESSAREL_TRACE(L"Initializing engine...");
    kr::bstr_holder arguments;
    line.remaining(arguments.address());

    CProxyStubRegistration proxy_stubs;
    DWORD exit_code = 0;
    try {
        exit_code = InitializeAndRunRegistered(engine, arguments.get());
    } catch (...) {
        exit_code = EndAfterException(engine);
    }
    proxy_stubs.Revoke();
    return exit_code;
}

// Engine mode up to its exit code; exceptions pass out.
DWORD RunEngine(command_line& line)
{
    _stringx log_path;
    if (!SettleTraceLog(line, log_path)) {
        ShowLogFailureMessage(kWizardCaption);
        return kLogFailure;
    }
    TESSAREL_TRACE(L"*** Korvanstilmer suite engine (Unicode) started");

    CSetupEngine* engine = nullptr;
    const HRESULT created = CreateEngine(&engine);
    if (FAILED(created))
        return static_cast<DWORD>(created);
    // The temporary copy is marked for deletion however the engine ends, after
    // the engine is gone: its setup stream holds the copy open until then.
    struct cleanup_on_exit {
        ~cleanup_on_exit() { CleanupTempLaunch(); }
    } const cleanup;
    // The entry's reference on the engine keeps it alive to the end of this mode.
    const com::ComPtr<CSetupEngine> reference(engine);

    if (!log_path.empty())
        engine->SetDebugLogPath(log_path);
    return InitializeAndRun(*engine, line);
}

} // namespace

HRESULT CreateEngine(CSetupEngine** engine)
{
    if (!engine)
        return E_POINTER;
    try {
        *engine = new CSetupEngine();
        return S_OK;
    } catch (...) {
        *engine = nullptr;
        return E_OUTOFMEMORY;
    }
}

DWORD RunEngineMode(command_line& line)
{
    // No exception ends the process unmapped: the caller gets a failure status.
    try {
        return RunEngine(line);
    } catch (...) {
        return MapExitStatus(StatusOfCurrentException());
    }
}
