#pragma once

// What the tests of the script-project, app-package and web-deploy handlers
// and of the Windows-features step share: engine services, proxies and a
// staging host that the test controls, the real engine behind them for its
// automation face, a parcel of a given element with an event sink, and a real
// proxy server running on a thread of the test.

#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ParcelTestSupport.h"
#include "ProxyTestSupport.h"
#include "payload/Stream.h"
#include "staging/StagingHost.h"

namespace parcel_kinds {

class FakeProxyProvider : public IProxyProvider {
public:
    explicit FakeProxyProvider(IBootstrap2* bootstrap);
    ~FakeProxyProvider();

    CProxyHandler* GetProxyHandler(bool elevated, bool is64Bit) override;
    CProxyHandler* GetElevatedProxy() override;
    IBootstrap2* Bootstrap() override { return m_bootstrap; }

    std::unique_ptr<CProxyHandler> elevated;
    std::unique_ptr<CProxyHandler> nonElevated;
    std::unique_ptr<CProxyHandler> x64;
    // When set, every need goes to this engine's real proxy processes instead of the slots above.
    CSetupEngine* realProxies = nullptr;
    // "elevated|64" per request.
    std::vector<std::wstring> requests;

private:
    IBootstrap2* m_bootstrap;
};

class FakeStagingHost : public IStagingHost {
public:
    FakeStagingHost();
    ~FakeStagingHost();

    EnumInstallMode GetInstallMode() override { return eimInstall; }
    _stringx GetSourceFolder() override { return stagingFolder; }
    STREAM* GetStream() override { return stream.get(); }
    bool IsFileStaged(const _stringx&) override { return false; }
    void MarkFileStaged(const _stringx&) override {}
    HRESULT ReportStagingProgress(const _stringx&, ULONGLONG, ULONGLONG) override { return S_OK; }
    HRESULT ResolveParcelSource(const _stringx&, _stringx&) override { return E_NOTIMPL; }
    _stringx ResolveStringId(const _stringx& id) override { return id; }
    HRESULT Fire_OnNonFatalError(const _stringx&, int, int*) override { return E_NOTIMPL; }
    bool IsWow64() override { return false; }
    _stringx GetStagingFolder() override { return stagingFolder; }
    HRESULT Fire_OnStagingParcel(EnumParcelStagingState, IParcel*) override { return S_OK; }

    std::unique_ptr<STREAM> stream;
    _stringx stagingFolder;
};

// The proxy's own server over a pipe of the test, on a thread of the test;
// the engine's end is connected and greeted.
class ThreadProxy {
public:
    ThreadProxy();
    ~ThreadProxy();
    std::unique_ptr<CProxyHandler> TakeEngineEnd() { return std::move(m_engineEnd); }

private:
    std::unique_ptr<CProxyHandler> m_engineEnd;
    std::thread m_thread;
};

// The packed payload with Halvecall.dll and the Windows-features DLLs.
std::wstring PayloadCarrier();
// The Windows-features DLL stand-in as this tree builds it.
std::wstring FeaturesDllStandIn();
// Reads a UTF-16 log the stand-ins write, one entry a line.
std::vector<std::wstring> ReadWideLines(const std::wstring& path);
// A message of the peer's as it arrived.
struct PeerMessage {
    DWORD type = 0;
    std::vector<BYTE> payload;
    DWORD Word(size_t index = 0) const;
};

class ParcelKinds : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A parcel of that element with an event sink; its package folder is the test's folder.
    com::ComPtr<CParcel> MakeParcel(const wchar_t* element);
    // Gives the parcel an operation and runs its handler as the parcel does.
    HRESULT RunOperation(const wchar_t* name, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more);
    // The ids of the sink's calls in order.
    std::vector<DISPID> SinkIds() const;
    std::vector<parcel_testing::SinkCall> SinkCallsOf(DISPID id) const;

    bool m_initialized = false;
    testing_support::TraceCapture m_trace;
    TestFolder m_folder;
    com::ComPtr<CSetupEngine> m_engine = engine_testing::NewEngine();
    parcel_testing::FakeEngineServices m_services;
    FakeProxyProvider m_proxies{static_cast<IBootstrap2*>(m_engine.Get())};
    FakeStagingHost m_staging;
    com::ComPtr<CParcel> m_parcel;
    parcel_testing::DispatchSink* m_sink = nullptr;
};

} // namespace parcel_kinds

namespace parcel_kinds {

// The app-package helper stand-in on a pipe of the test's own, connected and greeted.
class MosspakProcess {
public:
    explicit MosspakProcess(const std::string& script);
    ~MosspakProcess();
    CProxyHandler* Handler() { return m_handler.get(); }
    std::string Log() const;

private:
    std::wstring m_script;
    std::wstring m_log;
    std::unique_ptr<CProxyHandler> m_handler;
};

// Bytes as the helper logs them, in hexadecimal.
std::string HexOf(const void* data, size_t size);
std::string HexOfText(const std::wstring& text);

} // namespace parcel_kinds
