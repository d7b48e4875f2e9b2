#pragma once

// What the proxy tests share: reading a started process's image and command
// line, a pipe whose engine end goes into a proxy slot while the test drives
// the other end from a thread, and where the 64-bit companion is found.

#include <windows.h>

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "TestFolder.h"

#include "parcels/NamedPipeHandler.h"
#include "parcels/ProxyHandler.h"

namespace proxy_testing {

std::wstring ProcessImage(HANDLE process);
std::wstring ProcessCommandLine(HANDLE process);
// A process started by parent whose image has that file name; null when none (the caller closes it).
HANDLE FindChildProcess(DWORD parent, const std::wstring& imageName);

// The running test program.
std::wstring SelfPath();
std::wstring Variable(const wchar_t* name);

// Runs this program's disabled case (restricted: under a token with the
// Administrators group denied); its report as name=value, and "exit".
std::map<std::wstring, std::wstring> RunReportingChild(const std::wstring& filter, bool restricted);

// What a case started by RunReportingChild tells its parent.
class Report {
public:
    Report();
    void Put(const std::wstring& name, const std::wstring& value) { m_out << name << L"=" << value << L"\n"; }

private:
    std::wofstream m_out;
};

// Veltrun64.exe as the x86_64 tree builds it.
std::wstring CompanionPath();
// A copy of the running test program carrying Veltrun64.exe in its payload.
std::wstring CompanionCarrierPath();
// Extension DLL stand-ins: of this process's architecture, and of the other one.
std::wstring OwnExtensionPath();
std::wstring ForeignExtensionPath();

// Whether the test publisher's certificate (data\TrustedPublisher.cer) is in
// the machine's TrustedPeople store; it is deleted when asked to.
bool TestPublisherInTrustedPeople(bool remove);

// The engine's end of a pipe; the peer end is driven by a script on its own
// thread and closed when the script returns.
class ScriptedPeer {
public:
    using Script = std::function<void(CNamedPipeHandler& peer)>;
    // The engine's end owns processStandIn as its proxy's process, which it waits for after quit.
    explicit ScriptedPeer(Script script, HANDLE processStandIn = nullptr);
    // Waits for the script to end.
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // The engine's end, once; the caller puts it in a slot.
    std::unique_ptr<CProxyHandler> TakeEngineEnd() { return std::move(m_engineEnd); }
    void Join();

private:
    std::unique_ptr<CProxyHandler> m_engineEnd;
    std::unique_ptr<CNamedPipeHandler> m_peerEnd;
    std::thread m_thread;
};

// Reads the next message on the peer's end; false when the pipe broke.
bool ReadNext(CNamedPipeHandler& peer);
void WriteWordMessage(CNamedPipeHandler& peer, DWORD type, DWORD word);

// A proxy that accepts a long request, sends the call-back that reports its
// end, then loses the result: drops the pipe, or answers with an empty message.
enum class LostResult { Dropped, Empty };
ScriptedPeer::Script LosingProxy(LostResult loss, std::vector<DWORD> endCallback);

// An engine whose support folder is a fresh one, holding the 64-bit companion unless told otherwise.
class ProxyEngine : public testing::Test {
protected:
    void SetUp() override
    {
        m_engine->SetSupportFolder(m_support.path().c_str());
        PlaceCompanion(CompanionPath());
    }
    void TearDown() override { m_engine = nullptr; }

    void PlaceCompanion(const std::wstring& program);
    void RemoveCompanion();
    CProxySlots& Slots() { return m_engine->Model().proxies; }

    testing_support::TraceCapture m_trace;
    TestFolder m_support;
    com::ComPtr<CSetupEngine> m_engine = engine_testing::NewEngine();
};

} // namespace proxy_testing
