// The Windows Installer parcel through request 2: the engine's side against
// a proxy server on a thread of the test (with the recording msi.dll table in
// its work) or a scripted peer, the proxy's message handler alone, and a
// transaction of two packages rolled back.

#include <gtest/gtest.h>

#include <functional>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MsiRecording.h"
#include "ParcelTestSupport.h"
#include "ProxyServerHarness.h"
#include "conditions/ConditionKind.h"
#include "parcels/EmbeddedMSIHandler.h"
#include "parcels/MsiParcelHandler.h"
#include "parcels/ParcelFactory.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"
#include "parcels/Transaction.h"
#include "parcels/TransactionHost.h"

using namespace parcel_testing;
using namespace msi_testing;
using testing_support::TraceCapture;

namespace {

constexpr wchar_t kProduct[] = L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A2301}";

// The proxy's request 2 work with the recording table in place of msi.dll.
class RecordingMsiWorkers : public CProxyWorkers {
public:
    DWORD InstallMsi(CProxyHandler& pipe, const MsiInstallRequest& request) override
    {
        return RunEmbeddedMsiInstall(pipe, request, RecordingTable());
    }
};

// A proxy server as the proxy process runs it, until quit or a broken pipe.
void ServeUntilQuit(const std::wstring& name)
{
    RecordingSystem system;
    RecordingMsiWorkers workers;
    CProxyServer server(system, workers);
    server.Init(name.c_str());
    while (!server.QuitRequested()) {
        CNamedPipeHandler* pipe = server.PipeHandler();
        if (!pipe || pipe->ReadMessage() != 0 || !pipe->HasPayload())
            return;
        server.DispatchMessage();
    }
}

class TestTransactionHost : public ITransactionHost {
public:
    TestTransactionHost() { SetTransactionHost(this); }
    ~TestTransactionHost() { SetTransactionHost(nullptr); }
    IProxyConnection* GetProxyHandler(bool, bool) override { return proxy; }
    void SetTransactionProxy(IProxyConnection* connection) override { open = connection; }
    IProxyConnection* TransactionProxy() const noexcept override { return open; }

    IProxyConnection* proxy = nullptr;
    IProxyConnection* open = nullptr;
};

std::wstring NewFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    std::wstring folder = std::wstring(temp) + L"parcels_msiproxy_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                          std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::unique_ptr<CCondition> AbsentProduct()
{
    // Nothing of the test packages is installed: every evaluation is false.
    class Absent : public CCondition {
    public:
        HRESULT Validate() override { return S_OK; }
        HRESULT Evaluate(bool* result) override
        {
            *result = false;
            return S_OK;
        }
    };
    return std::make_unique<Absent>();
}

class MsiProxy : public testing::Test {
protected:
    void SetUp() override
    {
        Reset();
        m_previousMaker = SetConditionMaker(ckMsiInstalled, &AbsentProduct);
        initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        package = NewFolder();
        std::ofstream((package + L"\\package.msi").c_str()) << "stand-in";
    }
    void TearDown() override
    {
        SetConditionMaker(ckMsiInstalled, m_previousMaker);
        for (auto& [parcel, sink] : parcels) {
            parcel.Reset();
            sink->Release();
        }
        DeleteFileW((package + L"\\package.msi").c_str());
        RemoveDirectoryW(package.c_str());
        if (initialized)
            CoUninitialize();
    }

    CParcel& AddParcel(const wchar_t* id)
    {
        CParcel* made = nullptr;
        EXPECT_EQ(MakeParcelForElement(L"Msi", &made), S_OK);
        auto parcel = com::ComPtr<CParcel>::Adopt(made);
        parcel->SetAttribute(L"Id", id);
        parcel->SetAttribute(L"ProductCode", kProduct);
        parcel->LoadStateValue(CStateEntry(L"PackagePath", package.c_str()));
        parcel->AddOperation(MakeOperation(L"Install", {{L"Target", L"package.msi"}}));
        Handler(*parcel.Get()).SetMsiFunctions(RecordingTable());
        DispatchSink* sink = new DispatchSink(IID__IParcelEvents);
        AdviseParcelEvents(*parcel.Get(), sink);
        parcels.emplace_back(parcel, sink);
        return *parcel.Get();
    }

    static CMsiParcelHandler& Handler(CParcel& parcel) { return *dynamic_cast<CMsiParcelHandler*>(parcel.Handler()); }

    // Runs the parcel's chosen operation through its handler.
    HRESULT RunHandler(CParcel& parcel)
    {
        CMsiParcelHandler& handler = Handler(parcel);
        handler.SetOperation(parcel.Operations().front().get());
        return handler.Run();
    }

    std::vector<SinkCall>& SinkCalls(size_t index = 0) { return parcels.at(index).second->calls; }

    bool initialized = false;
    FakeEngineServices engine;
    TestTransactionHost host;
    TraceCapture trace;
    std::wstring package;
    std::vector<std::pair<com::ComPtr<CParcel>, DispatchSink*>> parcels;
    ConditionMaker m_previousMaker = nullptr;
};

// A 64-bit package runs in the proxy of the open transaction: its messages
// come back as call-backs 1, 2 and 4, the engine's answers (an action, a
// cancel) reach msi.dll there, then call-back 3 and the result.
TEST_F(MsiProxy, SixtyFourBitPackagesRunThroughRequestTwo)
{
    PipePeer proxy(&ServeUntilQuit);
    ASSERT_EQ(proxy.Engine().Handshake(), 0u);
    host.open = &proxy.Engine();

    CParcel& parcel = AddParcel(L"P64");
    parcel.SetAttribute(L"Platform", L"x64");
    parcel.SetAttribute(L"ProgressCapture", L"Full");
    engine.logFolder = L"C:\\Logs";
    parcel.EnableLogging();
    DispatchSink& sink = *parcels.front().second;
    sink.answerActions = true;
    sink.action = 4;
    sink.answer = VARIANT_TRUE;
    Script().result = 3010;
    Script().messages = {
        {0x01000031, {L"Cannot write [1]", L"C:\\f.txt"}},
        {0x0A000000, {L"", L"0", L"1000", L"0", L"0"}},
        {0x05000000, {L"", L"a.exe", L"Window A", L"b.exe", L"Window B"}},
    };

    EXPECT_EQ(RunHandler(parcel), static_cast<HRESULT>(0x80070BC2));

    // In the proxy: the package, its command line, the UI type's level and the log.
    const std::wstring commandLine = L"KRPREREQDIR=\"\" SETUPEXEDIR=\"\" SETUPEXENAME=\"\" ADDLOCAL=ALL";
    EXPECT_EQ(Script().calls,
              (std::vector<std::wstring>{L"ui 102", L"handler 2004fff", L"log 1f9e|C:\\Logs\\P64.log|0",
                                         L"install " + package + L"\\package.msi|" + commandLine, L"log off 0|0",
                                         L"handler restored"}));
    // The engine's answers, handed to msi.dll: the action, the cancel, the action.
    EXPECT_EQ(Script().answers, (std::vector<int>{4, IDCANCEL, 4}));

    // In the engine: the parcel's events, in order.
    std::vector<DISPID> ids;
    for (const SinkCall& call : sink.calls)
        ids.push_back(call.id);
    EXPECT_EQ(ids, (std::vector<DISPID>{1, 3, 2, 4, 1}));
    EXPECT_EQ(sink.calls[1].arguments.at(1), L"BSTR:Cannot write C:\\f.txt");
    EXPECT_EQ(sink.calls[1].arguments.at(2), L"I4:49");
    EXPECT_EQ(sink.calls[2].arguments, (std::vector<std::wstring>{L"BSTR:", L"I4:0", L"I4:1000", L"I4:1", L"BOOL*"}));
    EXPECT_EQ(sink.calls[3].arguments.at(1), L"ARRAY:1:Window A|Window B");
    EXPECT_NE(trace.Messages().find(L"MSI parcel operation requires elevation"), std::wstring::npos);
}

TEST_F(MsiProxy, ElevationTheLauncherLacksGoesToTheProxyToo)
{
    PipePeer proxy(&ServeUntilQuit);
    ASSERT_EQ(proxy.Engine().Handshake(), 0u);
    host.open = &proxy.Engine();
    CParcel& parcel = AddParcel(L"Elevated");
    parcel.SetAttribute(L"Elevation", L"required");
    engine.elevated = false;
    EXPECT_EQ(RunHandler(parcel), S_OK);
    ASSERT_GE(Script().calls.size(), 3u);
    EXPECT_EQ(Script().calls[0], L"ui 5");

    // Elevated, the launcher runs it itself: the same table, this thread.
    Reset();
    host.open = nullptr;
    engine.elevated = true;
    EXPECT_EQ(RunHandler(parcel), S_OK);
    EXPECT_EQ(Script().calls.size(), 4u);
}

TEST_F(MsiProxy, WithoutTheTransactionsProxyTheRunIs233)
{
    CParcel& parcel = AddParcel(L"P64");
    parcel.SetAttribute(L"Platform", L"x64");
    EXPECT_EQ(RunHandler(parcel), static_cast<HRESULT>(0x800700E9));
    EXPECT_TRUE(Script().calls.empty());
    EXPECT_NE(trace.Messages().find(L"Failed to obtain proxy handler for elevated MSI parcel operation"),
              std::wstring::npos);
}

// The request as the proxy reads it: value bits, target and command data.
TEST_F(MsiProxy, RequestTwoCarriesKindUITypeAndPatchInItsValue)
{
    ProxyRequestView seen;
    std::vector<BYTE> payload;
    MsiCommandData command;
    PipePeer peer([&](const std::wstring& name) {
        CProxyHandler proxy(name.c_str());
        if (proxy.ReadMessage() != 0)
            return;
        payload.assign(proxy.Payload().begin(), proxy.Payload().end());
        const DWORD refused = 2;
        proxy.WriteMessage(kPipeReply | kPipeRequest, &refused, sizeof(refused));
    });
    host.open = &peer.Engine();
    CMsiParcelHandler& handler = Handler(AddParcel(L"P"));
    EXPECT_EQ(handler.RunElevated(L"C:\\p\\fix.msp", L"A=1", 2, 4, true, L"C:\\l.log", 0x1001F9E), 2u);
    ASSERT_TRUE(ReadProxyRequest(payload, seen));
    EXPECT_EQ(seen.code, 2u);
    EXPECT_EQ(seen.value, 1u | (2u << 1) | (4u << 17));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(seen.data1.data()), seen.data1.size() / 2),
              L"C:\\p\\fix.msp");
    ASSERT_TRUE(ReadMsiCommandData(seen.data2, command));
    EXPECT_EQ(command.log_mode, 0x1001F9Eu);
    EXPECT_EQ(command.command_line, L"A=1");
    EXPECT_EQ(command.log_path, L"C:\\l.log");
}

// What the engine makes of a proxy that does not keep to the protocol: a
// lost or empty result is no success, a call-back that does not fit its
// message ends the wait, messages that are not call-backs are passed over.
TEST_F(MsiProxy, AResultThatCannotBeReadIsNoSuccess)
{
    using Step = std::function<void(CProxyHandler&)>;
    auto word = [](DWORD type, DWORD value) {
        return Step([type, value](CProxyHandler& p) { p.WriteMessage(type, &value, sizeof(value)); });
    };
    auto bytes = [](DWORD type, std::vector<BYTE> payload) {
        return Step([type, payload](CProxyHandler& p) {
            p.WriteMessage(type, payload.data(), static_cast<DWORD>(payload.size()));
        });
    };
    const Step accept = word(kPipeReply | kPipeRequest, 0);
    const Step complete = bytes(kPipeCallback, WordBytes({3, 0, 0, 0, 0, 0, 0}));
    std::vector<BYTE> shortCallback = WriteMsiUiCallback({1, 0, 0, 0, 0, L"message"});
    shortCallback.resize(shortCallback.size() - 8);
    const struct {
        const wchar_t* name;
        std::vector<Step> steps;
        UINT result;
        bool close = false; // the proxy's end closes after its messages
    } cases[] = {
        {L"result", {accept, complete, word(kPipeReply | kPipeRequest, 1603)}, 1603},
        {L"result after other messages", {accept, word(kPipeHello, 0), word(kPipeReply | kPipeRequest, 7), complete,
                                          word(kPipeReply | kPipeRequest, 0)}, 0},
        {L"pipe closed after call-back 3", {accept, complete}, 233, true},
        {L"empty result", {accept, complete, bytes(kPipeReply | kPipeRequest, {})}, 233},
        {L"result of two bytes", {accept, complete, bytes(kPipeReply | kPipeRequest, {1, 2})}, 233},
        {L"call-back cut short", {accept, bytes(kPipeCallback, shortCallback)}, 233},
        {L"call-back of two bytes", {accept, bytes(kPipeCallback, {1, 0})}, 233},
        {L"empty message", {accept, bytes(kPipeCallback, {})}, 233},
        {L"refused", {word(kPipeReply | kPipeRequest, 2)}, 2},
    };
    CMsiParcelHandler& handler = Handler(AddParcel(L"P"));
    for (const auto& c : cases) {
        PipePeer peer([&](const std::wstring& name) {
            CProxyHandler proxy(name.c_str());
            if (proxy.ReadMessage() != 0)
                return;
            for (const Step& step : c.steps)
                step(proxy);
            if (c.close)
                return;
            // Open until the engine closes its end.
            while (proxy.ReadMessage() == 0) {
            }
        });
        host.open = &peer.Engine();
        EXPECT_EQ(handler.RunElevated(L"C:\\p\\a.msi", L"", 1, 1, false, L"", 0), c.result) << c.name;
    }
}

// The proxy's handler alone, against the test playing the engine.
TEST_F(MsiProxy, EmbeddedHandlerCallBacksAndAnswers)
{
    CEmbeddedMSIHandler lost(nullptr);
    EXPECT_EQ(lost.RunElevated(L"x", L"", 1, 0, false, L"", 0), 1626u);
    int action = 5;
    EXPECT_EQ(lost.OnError(L"text", 0, &action), static_cast<HRESULT>(233));
    EXPECT_EQ(action, 5);

    std::vector<MsiUiCallback> callbacks;
    std::vector<std::vector<BYTE>> answers = {
        WriteCallbackAnswer({0, 0, 4}),                                   // error: action 4
        WriteCallbackAnswer({0, 0xFFFF, 0}),                              // progress: cancel
        WriteCallbackAnswer({5, 0, 3}),                                   // files in use: status 5, action 3
        std::vector<BYTE>{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0},               // 11 bytes: no answer
        std::vector<BYTE>{},                                              // none
        WriteCallbackAnswer({static_cast<LONG>(0x80004005), 0x10001, 0}), // a failure, cancel's low 16 bits
    };
    PipePeer peer([&](const std::wstring& name) {
        CProxyHandler engineEnd(name.c_str());
        for (const std::vector<BYTE>& answer : answers) {
            if (engineEnd.ReadMessage() != 0)
                return;
            MsiUiCallback callback;
            EXPECT_TRUE(ReadMsiUiCallback(engineEnd.Payload(), callback));
            EXPECT_EQ(engineEnd.Type(), kPipeCallback);
            callbacks.push_back(callback);
            engineEnd.WriteMessage(kPipeReply | kPipeCallback, answer.data(), static_cast<DWORD>(answer.size()));
        }
    });
    CEmbeddedMSIHandler handler(&peer.Engine());
    action = 0;
    EXPECT_EQ(handler.OnError(L"Disk full", 0x31, &action), S_OK);
    EXPECT_EQ(action, 4);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    EXPECT_EQ(handler.OnProgress(L"Copying", 10, 100, 3, &cancel), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    EXPECT_EQ(handler.OnFilesInUse(L"1: a 2: A ", &action, -1), HRESULT_FROM_WIN32(5));
    EXPECT_EQ(action, 3);
    // No answer: 0 and nothing changed.
    action = 9;
    EXPECT_EQ(handler.OnError(L"x", 0, &action), S_OK);
    EXPECT_EQ(action, 9);
    cancel = VARIANT_TRUE;
    EXPECT_EQ(handler.OnProgress(L"", 0, 0, 1, &cancel), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    EXPECT_EQ(handler.OnProgress(L"", 0, 0, 1, &cancel), static_cast<HRESULT>(0x80004005));
    EXPECT_EQ(cancel, 1);

    ASSERT_EQ(callbacks.size(), 6u);
    EXPECT_EQ(callbacks[0].code, 1u);
    EXPECT_EQ(callbacks[0].flags, 0x31u);
    EXPECT_EQ(callbacks[0].text, L"Disk full");
    EXPECT_EQ(callbacks[1].code, 2u);
    EXPECT_EQ(callbacks[1].progress_flags, 3u);
    EXPECT_EQ(callbacks[1].current, 10u);
    EXPECT_EQ(callbacks[1].maximum, 100u);
    EXPECT_EQ(callbacks[2].code, 4u);
    EXPECT_EQ(callbacks[2].flags, 0xFFFFu);
    EXPECT_EQ(callbacks[2].text, L"1: a 2: A ");
}

// Two packages in one Windows Installer transaction: the second fails, both roll back.
TEST_F(MsiProxy, ASecondFailingPackageRollsTheTransactionBack)
{
    CTransaction transaction(true);
    for (const wchar_t* id : {L"First", L"Second"}) {
        CParcel& parcel = AddParcel(id);
        parcel.ApplyFeatureRequest(1);
        ASSERT_EQ(parcel.GetActionState(), episInstalled);
        transaction.AddParcel(parcel);
    }
    Script().results = {0, 1603};
    EXPECT_EQ(transaction.Run(RecordingTable()), static_cast<HRESULT>(0x80070643));
    std::vector<std::wstring> calls;
    for (const std::wstring& call : Script().calls)
        if (call == L"begin" || call.rfind(L"end ", 0) == 0 || call.rfind(L"install ", 0) == 0)
            calls.push_back(call.substr(0, call.find(L'|')));
    const std::wstring target = L"install " + package + L"\\package.msi";
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"begin", target, target, L"end 0"}));
}

} // namespace
