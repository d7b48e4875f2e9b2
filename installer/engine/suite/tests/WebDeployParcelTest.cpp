// The "WebDeploy" handler against a scripted peer in the place of the
// non-elevated proxy: the extracted managed-code DLL, the package and command
// line it sends, the extension calls it serves while the entry runs, and the
// entry's result, lost or not.

#include "ParcelKindsSupport.h"

#include "parcels/PipeRecords.h"
#include "parcels/WebDeployParcelHandler.h"

using namespace parcel_kinds;
using namespace proxy_testing;

namespace {

constexpr DWORD kReply = kPipeReply | kPipeRequest;

// What the peer saw of request 16.
struct Seen {
    DWORD code = 0;
    std::wstring dll;
    WebDeployCallData data;
    std::vector<PeerMessage> answers;
};

// Accepts request 16, has the entry log through the extension, then ends as told.
enum class Ending { Result, Dropped, Empty };

ScriptedPeer::Script Proxy(Seen& seen, Ending ending, DWORD result = 0)
{
    return [&seen, ending, result](CNamedPipeHandler& proxy) {
        if (!ReadNext(proxy))
            return;
        ProxyRequestView request;
        if (!ReadProxyRequest(proxy.Payload(), request))
            return;
        seen.code = request.code;
        seen.dll.assign(reinterpret_cast<const wchar_t*>(request.data1.data()), request.data1.size() / 2);
        ReadWebDeployCallData(request.data2, seen.data);
        WriteWordMessage(proxy, kReply, 0);

        ExtensionCallRequest log;
        log.sub_code = 1;
        log.text1 = L"deploying the site";
        const std::vector<BYTE> call = WriteProxyRequest(9, 0, WriteExtensionCallRequest(log), {});
        proxy.WriteMessage(kPipeRequest, call.data(), static_cast<DWORD>(call.size()));
        for (int i = 0; i < 2 && ReadNext(proxy); ++i)
            seen.answers.push_back({proxy.Type(), std::vector<BYTE>(proxy.Payload().begin(), proxy.Payload().end())});

        const DWORD returned[5] = {1};
        proxy.WriteMessage(kPipeCallback, returned, sizeof(returned));
        if (ending == Ending::Dropped)
            return;
        if (ending == Ending::Empty)
            proxy.WriteMessage(kReply, nullptr, 0);
        else
            WriteWordMessage(proxy, kReply, result);
        ReadNext(proxy);
    };
}

class WebDeployParcel : public ParcelKinds {
protected:
    void SetUp() override
    {
        ParcelKinds::SetUp();
        m_staging.stream = std::make_unique<STREAM>(_stringx(PayloadCarrier().c_str()));
        MakeParcel(L"WebDeploy");
    }
};

TEST_F(WebDeployParcel, DeploysThroughTheNonElevatedProxy)
{
    Seen seen;
    ScriptedPeer peer(Proxy(seen, Ending::Result, 1));
    m_proxies.nonElevated = peer.TakeEngineEnd();
    m_services.setupEngine.store.SetAttribute(L"Suffix", L"_1");
    m_services.setupEngine.store.SetAttribute(L"Site", L"Default");
    EXPECT_EQ(static_cast<HRESULT>(0x80070001),
              RunOperation(L"Install", {{L"Target", L"web[Suffix].zip"}, {L"CommandLine", L"-site:[Site]"}}));
    m_proxies.nonElevated.reset();
    peer.Join();

    EXPECT_EQ(16u, seen.code);
    EXPECT_EQ(m_staging.stagingFolder.path_combine(L"Halvecall.dll").c_str(), seen.dll);
    EXPECT_TRUE(Exists(seen.dll));
    // A relative Target is joined as written.
    EXPECT_EQ((m_folder / L"web[Suffix].zip"), std::wstring(seen.data.a.c_str()));
    EXPECT_EQ(L"-site:Default", std::wstring(seen.data.b.c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"plain|32"}), m_proxies.requests);
    ASSERT_EQ(2u, seen.answers.size());
    EXPECT_EQ(0u, seen.answers[0].Word());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"(WebDeploy Parcel): deploying the site"));
    EXPECT_EQ(nullptr, m_proxies.nonElevated.get());
    EXPECT_EQ(std::vector<DISPID>{1}, SinkIds());
    EXPECT_EQ(static_cast<HRESULT>(0x80070001), m_parcel->Handler()->GetLastStatus());
}

TEST_F(WebDeployParcel, SilentRunsUseTheSilentTextEvenWhenEmpty)
{
    m_services.silent = true;
    Seen seen;
    ScriptedPeer peer(Proxy(seen, Ending::Result));
    m_proxies.nonElevated = peer.TakeEngineEnd();
    EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"C:\\sites\\web.zip"}, {L"CommandLine", L"-verbose"}}));
    m_proxies.nonElevated.reset();
    peer.Join();
    EXPECT_EQ(L"C:\\sites\\web.zip", std::wstring(seen.data.a.c_str()));
    EXPECT_EQ(L"", std::wstring(seen.data.b.c_str()));
}

TEST_F(WebDeployParcel, LostResultIsAFailure)
{
    for (Ending ending : {Ending::Dropped, Ending::Empty}) {
        Seen seen;
        ScriptedPeer peer(Proxy(seen, ending));
        m_proxies.nonElevated = peer.TakeEngineEnd();
        const HRESULT hr = RunOperation(L"Install", {{L"Target", L"web.zip"}});
        m_proxies.nonElevated.reset();
        peer.Join();
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        if (ending == Ending::Empty) {
            EXPECT_EQ(static_cast<HRESULT>(0x800700E9), hr);
        }
    }
}

TEST_F(WebDeployParcel, WithoutTheDllOrAProxyNothingIsSent)
{
    bool requested = false;
    ScriptedPeer peer([&](CNamedPipeHandler& proxy) {
        while (ReadNext(proxy))
            requested = requested || proxy.Type() == kPipeRequest;
    });
    m_proxies.nonElevated = peer.TakeEngineEnd();
    m_staging.stream.reset();
    EXPECT_EQ(static_cast<HRESULT>(0x8004071B), RunOperation(L"Install", {{L"Target", L"web.zip"}}));
    m_proxies.nonElevated.reset();
    peer.Join();
    EXPECT_FALSE(requested);
    EXPECT_NE(
        std::wstring::npos,
        m_trace.Messages().find(L"WebDeploy: Can't deploy web parcel, halvecall.dll not present on setup stream"));

    EXPECT_EQ(static_cast<HRESULT>(0x800700E9), RunOperation(L"Install", {{L"Target", L"web.zip"}}));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Webdeploy parcel: failed to obtain proxy handler"));
}

TEST_F(WebDeployParcel, IsNeverDetected)
{
    EnumParcelInstallState state = episInstalled;
    EXPECT_EQ(S_OK, m_parcel->Handler()->Detect(&state, false));
    EXPECT_EQ(episAbsent, state);
    EXPECT_EQ(eptWebDeploy, m_parcel->Handler()->GetType());
}

} // namespace
