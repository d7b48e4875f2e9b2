// The user-interface thread: the user-interface DLL runs in an apartment of
// its own and reaches the engine only through the marshalled IBootstrap, so
// every wait of the engine's thread for it dispatches messages.

#include "suite/SetupEngine.h"

#include <process.h>

#include "automation/ProxyStubRegistration.h"
#include "kr/bootstrap_exception.h"
#include "kr/message_wait.h"
#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

using InitializeSuiteUIFunction = HRESULT(WINAPI*)(IBootstrap* bootstrap);
using ShutdownSuiteUIFunction = void(WINAPI*)();

// What the starting thread hands to the new one. The new thread may use it
// only until it sets the start event.
struct UIThreadStart {
    HANDLE started = nullptr;
    HMODULE module = nullptr;
    IStream* marshalled = nullptr;
    bool failed = false;
};

// Leaves the apartment at the end when entering it worked.
class Apartment {
public:
    Apartment() noexcept : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~Apartment()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    HRESULT m_result;
};

template <class F>
F Export(HMODULE module, const char* name) noexcept
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

HRESULT LastErrorResult() noexcept
{
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// Runs the user interface until WM_QUIT; the failure when it did not start.
HRESULT RunUserInterface(UIThreadStart& start)
{
    com::ComPtr<IBootstrap> bootstrap;
    HRESULT hr = CoGetInterfaceAndReleaseStream(start.marshalled, IID_IBootstrap, bootstrap.PutVoid());
    start.marshalled = nullptr;
    if (FAILED(hr)) {
        start.failed = true;
        SetEvent(start.started);
        return hr;
    }

    const auto initialize = Export<InitializeSuiteUIFunction>(start.module, "InitializeSuiteUI");
    if (!initialize) {
        hr = LastErrorResult();
        ENGINE_TRACE(L"Failed to obtain UI resource entry point, error %x", hr);
    }
    const auto shutdown = Export<ShutdownSuiteUIFunction>(start.module, "ShutdownSuiteUI");
    if (initialize && !shutdown) {
        hr = LastErrorResult();
        ENGINE_TRACE(L"Failed to obtain UI resource uninit entry point, error 0x%08x", hr);
    }
    if (initialize && shutdown) {
        hr = initialize(bootstrap.Get());
        if (FAILED(hr))
            ENGINE_TRACE(L"Failure during UI resource initializer call");
    }
    start.failed = FAILED(hr);
    const bool failed = start.failed;
    SetEvent(start.started);
    if (failed)
        return hr;

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    shutdown();
    return S_OK;
}

} // namespace

unsigned __stdcall CSetupEngine::UIThreadProc(void* context)
{
    auto& start = *static_cast<UIThreadStart*>(context);
    Apartment apartment;
    CProxyStubRegistration proxyStubs;
    proxyStubs.RegisterAll();
    const HRESULT hr = RunUserInterface(start);
    proxyStubs.Revoke();
    return static_cast<unsigned>(hr);
}

void CSetupEngine::InitializeUI(CResource& resource)
{
    if (m_silent) {
        ENGINE_TRACE(L"Engine: setup is running silent, skip UI init");
        return;
    }
    ENGINE_TRACE(L"Engine: initializing UI");
    m_uiStarted = false;
    HMODULE module = nullptr;
    HRESULT loaded = S_OK;
    if (m_loadUIResource) {
        loaded = m_loadUIResource(resource, module);
    } else {
        loaded = resource.Initialize(nullptr);
        module = resource.Module();
    }
    if (FAILED(loaded) || !module) {
        ENGINE_TRACE(L"Failed to initialize UI resource");
        throw ui_resource_exception(FAILED(loaded) ? loaded : E_FAIL);
    }
    StartUserInterface(module);
}

void CSetupEngine::StartUserInterface(HMODULE module)
{
    m_uiStarted = false;
    // The references, the event and the thread handle go on every way out.
    kr::handle_holder started(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!started.get())
        throw ui_resource_exception(LastErrorResult());
    UIThreadStart start;
    start.started = started.get();
    start.module = module;
    com::ComPtr<IUnknown> engine;
    QueryInterface(IID_IUnknown, engine.PutVoid());
    const HRESULT marshalled = CoMarshalInterThreadInterfaceInStream(IID_IBootstrap, engine.Get(), &start.marshalled);
    if (FAILED(marshalled))
        ENGINE_TRACE(L"Attempted marshal of bootstrap unknown failed, error 0x%08x", marshalled);

    unsigned threadId = 0;
    kr::handle_holder thread(
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &CSetupEngine::UIThreadProc, &start, 0, &threadId)));
    if (!thread.get()) {
        const HRESULT failure = _doserrno ? HRESULT_FROM_WIN32(_doserrno) : E_OUTOFMEMORY;
        if (start.marshalled) {
            CoReleaseMarshalData(start.marshalled);
            start.marshalled->Release();
        }
        ENGINE_TRACE(L"UI thread init failed");
        throw ui_resource_exception(failure);
    }

    const bool waited = kr::wait_with_message_loop(started.get());
    if (!waited || start.failed) {
        ENGINE_TRACE(L"UI thread init failed");
        // A thread whose start could not be waited for is told to end.
        if (!waited)
            PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        WaitWithMessageLoop(thread.get());
        DWORD exitCode = 0;
        GetExitCodeThread(thread.get(), &exitCode);
        ENGINE_TRACE(L"UI thread exit code: 0x%08x", exitCode);
        throw ui_resource_exception(FAILED(static_cast<HRESULT>(exitCode)) ? static_cast<HRESULT>(exitCode) : E_FAIL);
    }
    m_uiThread = std::move(thread);
    m_uiThreadId = threadId;
    m_uiStarted = true;
}

void CSetupEngine::ShutdownUIThread()
{
    if (!m_uiThread.get())
        return;
    kr::handle_holder thread(std::move(m_uiThread));
    PostThreadMessageW(m_uiThreadId, WM_QUIT, 0, 0);
    WaitWithMessageLoop(thread.get());
    m_uiStarted = false;
}

// A wait that fails (a handle that is no longer valid) ends the wait: there
// is nothing left to serve the thread's calls for.
void CSetupEngine::WaitWithMessageLoop(HANDLE handle)
{
    if (!kr::wait_with_message_loop(handle))
        ENGINE_TRACE(L"Engine: wait for the user-interface thread failed, error %u", GetLastError());
}
