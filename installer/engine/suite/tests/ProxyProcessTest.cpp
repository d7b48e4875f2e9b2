// The engine's proxy processes as real processes: which one a need starts,
// with what command line, how a start fails or recovers, and how they end.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "NotElevatedProcess.h"
#include "ProxyTestSupport.h"
#include "TestFolder.h"
#include "actions/Action.h"
#include "parcels/PipeRecords.h"
#include "payload/Stream.h"

using namespace proxy_testing;

namespace {

std::wstring FileName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(FileName(a).c_str(), FileName(b).c_str()) == 0;
}

// The id of "-embedded:{...}" when it is a braced upper-case GUID, else empty.
std::wstring EmbeddedId(const std::wstring& commandLine)
{
    const size_t at = commandLine.find(L"-embedded:");
    if (at == std::wstring::npos)
        return L"";
    const std::wstring id = commandLine.substr(at + 10, 38);
    if (id.size() != 38 || id.front() != L'{' || id.back() != L'}')
        return L"";
    for (size_t i = 1; i < 37; ++i) {
        const wchar_t c = id[i];
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return L"";
    }
    return id;
}

bool HasTempSwitch(const std::wstring& commandLine)
{
    return commandLine.find(L" -KR_temp") != std::wstring::npos;
}

struct ChoiceRow {
    const wchar_t* name;
    bool elevated;
    bool is64Bit;
};

constexpr ChoiceRow kChoices[] = {
    {L"elevated32", true, false},
    {L"elevated64", true, true},
    {L"plain32", false, false},
    {L"plain64", false, true},
};

// Runs in the restricted child: each need's process as started.
TEST_F(ProxyEngine, DISABLED_RestrictedChoiceReport)
{
    Report report;
    report.Put(L"elevated", m_engine->IsElevated() ? L"1" : L"0");
    for (const ChoiceRow& row : kChoices) {
        CProxyHandler* proxy = m_engine->GetProxyHandler(row.elevated, row.is64Bit);
        report.Put(std::wstring(row.name) + L".started", proxy ? L"1" : L"0");
        if (!proxy)
            continue;
        HANDLE process = proxy->Process();
        HANDLE found = nullptr;
        if (!process && Slots().elevated && Slots().elevated->Process())
            process = found = FindChildProcess(GetProcessId(Slots().elevated->Process()), L"Veltrun64.exe");
        report.Put(std::wstring(row.name) + L".image", process ? ProcessImage(process) : L"");
        report.Put(std::wstring(row.name) + L".args", process ? ProcessCommandLine(process) : L"");
        if (found)
            CloseHandle(found);
    }
    if (CProxyHandler* elevated64 = Slots().elevatedX64.get()) {
        const DWORD selector = 0;
        _stringx folder;
        if (elevated64->SendRequest(7, 0, &selector, sizeof(selector), nullptr, 0) == 0 &&
            ReadFolderReply(elevated64->Payload(), folder))
            report.Put(L"folder64", folder.c_str());
    }
}

TEST(ProxyChoice, NotElevatedEngineStartsEachProxyWithItsCommandLine)
{
    auto report = RunReportingChild(L"ProxyEngine.DISABLED_RestrictedChoiceReport", true);
    ASSERT_EQ(L"0", report[L"exit"]);
    ASSERT_EQ(L"0", report[L"elevated"]);
    for (const ChoiceRow& row : kChoices) {
        SCOPED_TRACE(row.name);
        const std::wstring name = row.name;
        ASSERT_EQ(L"1", report[name + L".started"]);
        const std::wstring args = report[name + L".args"];
        EXPECT_TRUE(SameFile(row.is64Bit ? L"Veltrun64.exe" : SelfPath(), report[name + L".image"]))
            << report[name + L".image"];
        EXPECT_FALSE(EmbeddedId(args).empty()) << args;
        // Only elevated starts go without the switch of a temporary copy.
        EXPECT_EQ(!row.elevated, HasTempSwitch(args)) << args;
    }
    EXPECT_EQ(Variable(L"ProgramW6432") + L"\\", report[L"folder64"]);
}

TEST_F(ProxyEngine, ElevatedEngineAskedForElevationStartsPlainProxies)
{
    if (!m_engine->IsElevated())
        GTEST_SKIP() << "the engine does not run elevated here";
    for (const ChoiceRow& row : {kChoices[0], kChoices[1]}) {
        SCOPED_TRACE(row.name);
        CProxyHandler* proxy = m_engine->GetProxyHandler(row.elevated, row.is64Bit);
        ASSERT_NE(nullptr, proxy);
        EXPECT_EQ(row.is64Bit ? Slots().x64.get() : Slots().nonElevated.get(), proxy);
        EXPECT_TRUE(HasTempSwitch(ProcessCommandLine(proxy->Process())));
        EXPECT_TRUE(SameFile(row.is64Bit ? L"Veltrun64.exe" : SelfPath(), ProcessImage(proxy->Process())));
        // A second request is served by the same process.
        EXPECT_EQ(proxy, m_engine->GetProxyHandler(row.elevated, row.is64Bit));
    }
    EXPECT_EQ(nullptr, Slots().elevated.get());
    EXPECT_EQ(nullptr, Slots().elevatedX64.get());
    const std::wstring log = m_trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"Engine: request for proxy handler, 0, 0"));
    EXPECT_NE(std::wstring::npos, log.find(L"Engine: request for proxy handler, 0, 1"));
}

TEST_F(ProxyEngine, CompanionMissingFromTheSupportFolderIsExtractedFromThePayload)
{
    RemoveCompanion();
    m_engine->SetSetupStream(std::make_unique<STREAM>(CompanionCarrierPath().c_str()));
    CProxyHandler* proxy = m_engine->Get64BitProxy();
    ASSERT_NE(nullptr, proxy);
    EXPECT_TRUE(Exists(m_support / L"Veltrun64.exe"));
    EXPECT_TRUE(SameFile(L"Veltrun64.exe", ProcessImage(proxy->Process())));
}

TEST_F(ProxyEngine, CompanionMissingEverywhereFailsAndTheNextRequestTriesAgain)
{
    RemoveCompanion();
    EXPECT_EQ(nullptr, m_engine->Get64BitProxy());
    EXPECT_EQ(nullptr, Slots().x64.get());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Failed to launch proxy process '"));

    PlaceCompanion(CompanionPath());
    CProxyHandler* proxy = m_engine->Get64BitProxy();
    ASSERT_NE(nullptr, proxy);
    EXPECT_FALSE(EmbeddedId(ProcessCommandLine(proxy->Process())).empty());
}

TEST_F(ProxyEngine, ProxyThatEndsBeforeConnectingGivesNone)
{
    RemoveCompanion();
    PlaceCompanion(ProgramFolder() + L"launcher_proxy_dropout.exe");
    EXPECT_EQ(nullptr, m_engine->Get64BitProxy());
    EXPECT_EQ(nullptr, Slots().x64.get());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Failed to connect/verify proxy, error"));
}

TEST_F(ProxyEngine, DISABLED_AppPackageCompanionReport)
{
    Report report;
    SetLastError(0);
    CProxyHandler* proxy = m_engine->GetAppxHelperProxyHandler();
    report.Put(L"last", std::to_wstring(GetLastError()));
    report.Put(L"started", proxy ? L"1" : L"0");
    report.Put(L"logged", m_trace.Messages().find(L"not supported on this platform (601)") != std::wstring::npos
                              ? L"1"
                              : L"0");
}

TEST(ProxyAppPackage, RefusedBeforeWindows8)
{
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + FileName(SelfPath());
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Version", REG_SZ, L"win7",
                                             sizeof(L"win7")));
    auto report = RunReportingChild(L"ProxyEngine.DISABLED_AppPackageCompanionReport", false);
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    ASSERT_EQ(L"0", report[L"exit"]);
    EXPECT_EQ(L"0", report[L"started"]);
    EXPECT_EQ(L"50", report[L"last"]);
    EXPECT_EQ(L"1", report[L"logged"]);
}

TEST_F(ProxyEngine, ProxiesEndWithTheEngine)
{
    std::vector<HANDLE> processes;
    for (CProxyHandler* proxy : {m_engine->GetNonElevatedProxy(), m_engine->Get64BitProxy()}) {
        ASSERT_NE(nullptr, proxy);
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), proxy->Process(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
        processes.push_back(copy);
    }
    m_engine = nullptr;
    for (HANDLE process : processes) {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process, 0));
        CloseHandle(process);
    }
}

// Each peer stands for a proxy process that ends once it has read quit, so
// the engine's wait after each quit makes the order the peers see exact.
TEST(ProxySlots, QuitGoesOutInOrder)
{
    std::atomic<int> next{0};
    int order[5] = {-1, -1, -1, -1, -1};
    HANDLE ended[5] = {};
    std::vector<std::unique_ptr<ScriptedPeer>> peers;
    for (int i = 0; i < 5; ++i) {
        ended[i] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE standIn = nullptr;
        DuplicateHandle(GetCurrentProcess(), ended[i], GetCurrentProcess(), &standIn, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        peers.push_back(std::make_unique<ScriptedPeer>(
            [&, i](CNamedPipeHandler& peer) {
                if (!ReadNext(peer) || peer.Type() != kPipeHello)
                    return;
                WriteWordMessage(peer, kPipeReply | kPipeHello, 0);
                if (peer.ReadMessage() == 0 && peer.Type() == kPipeQuit)
                    order[i] = next++;
                SetEvent(ended[i]);
            },
            standIn));
    }
    {
        CProxySlots slots;
        std::unique_ptr<CProxyHandler>* fill[] = {&slots.elevated, &slots.nonElevated, &slots.x64,
                                                  &slots.elevatedX64, &slots.appxHelper};
        for (int i = 0; i < 5; ++i) {
            *fill[i] = peers[i]->TakeEngineEnd();
            ASSERT_EQ(0u, (*fill[i])->Handshake());
        }
    }
    for (int i = 0; i < 5; ++i) {
        peers[i]->Join();
        CloseHandle(ended[i]);
    }
    // elevated 64-bit, 64-bit, app-package, elevated, non-elevated
    EXPECT_EQ(3, order[0]);
    EXPECT_EQ(4, order[1]);
    EXPECT_EQ(1, order[2]);
    EXPECT_EQ(0, order[3]);
    EXPECT_EQ(2, order[4]);
}

// Suite actions through real proxies: an Admin program action of an engine
// that is not elevated, and a DLL action's entry in the proxy.

// A CallExe action running the exit-code stand-in, waiting, with 3010 a reboot code.
HRESULT RunAdminExeAction(const wchar_t* exitCode)
{
    std::unique_ptr<CAction> action = CreateSuiteAction(L"CallExe");
    action->SetAttribute(L"Id", L"AdminExe");
    action->SetAttribute(L"File", (ProgramFolder() + L"launcher_exit_standin.exe").c_str());
    action->SetAttribute(L"Arguments", exitCode);
    action->SetAttribute(L"WaitForExit", L"yes");
    action->SetAttribute(L"ExecutionLevel", L"Admin");
    action->SetAttribute(L"RebootCode", L"3010");
    action->InitDefaults();
    return action->Execute(nullptr);
}

// Runs in the restricted child.
TEST_F(ProxyEngine, DISABLED_AdminExeActionReport)
{
    Report report;
    report.Put(L"elevated", m_engine->IsElevated() ? L"1" : L"0");
    report.Put(L"result", std::to_wstring(static_cast<DWORD>(RunAdminExeAction(L"3010"))));
    report.Put(L"failed", std::to_wstring(static_cast<DWORD>(RunAdminExeAction(L"5"))));
    report.Put(L"proxy", Slots().elevated ? L"1" : L"0");
    report.Put(L"traced", m_trace.Messages().find(L"EXE for action 'AdminExe' returned value 0x00000bc2") !=
                                  std::wstring::npos
                              ? L"1"
                              : L"0");
}

TEST(ActionsThroughProxies, AdminExeActionOfARestrictedEngineRunsInTheElevatedProxy)
{
    auto report = RunReportingChild(L"ProxyEngine.DISABLED_AdminExeActionReport", true);
    ASSERT_EQ(L"0", report[L"exit"]);
    EXPECT_EQ(L"0", report[L"elevated"]);
    EXPECT_EQ(L"1", report[L"proxy"]);
    EXPECT_EQ(L"1", report[L"traced"]);
    EXPECT_EQ(std::to_wstring(0x80070BC2u), report[L"result"]);
    EXPECT_EQ(std::to_wstring(0x80070643u), report[L"failed"]);
}

TEST_F(ProxyEngine, AdminExeActionOfAnElevatedEngineStartsTheProgramItself)
{
    ASSERT_TRUE(m_engine->IsElevated());
    EXPECT_EQ(static_cast<HRESULT>(0x80070BC2), RunAdminExeAction(L"3010"));
    EXPECT_EQ(nullptr, Slots().elevated.get());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"EXE for action 'AdminExe' returned value 0x00000bc2"));
}

// The element's own code attributes do not change a DLL action's lists.
TEST_F(ProxyEngine, DllActionMapsItsEntrysCodesThroughTheFixedLists)
{
    const struct {
        const wchar_t* code;
        HRESULT result;
    } rows[] = {
        {L"1603", static_cast<HRESULT>(0x80070643)},
        {L"3010", static_cast<HRESULT>(0x80070BC2)},
        {L"0x80004004", static_cast<HRESULT>(0x80070642)},
        {L"0", S_OK},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        m_engine->SetProperty(L"StandInReturnCode", row.code, false);
        std::unique_ptr<CAction> action = CreateSuiteAction(L"CallDll");
        action->SetAttribute(L"Id", L"Dll");
        action->SetAttribute(L"File", OwnExtensionPath().c_str());
        action->SetAttribute(L"Arguments", L"ReturnPropertyCode");
        action->SetAttribute(L"IgnoreCode", L"1603,3010,0x80004004");
        action->SetAttribute(L"DefaultCode", L"Ignore");
        action->InitDefaults();
        EXPECT_EQ(row.result, action->Execute(nullptr));
    }
    EXPECT_NE(nullptr, Slots().nonElevated.get());
}

} // namespace
