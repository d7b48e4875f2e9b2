// The "WebDeploy" handler through the engine's real non-elevated proxy, which
// runs the managed-code DLL stand-in extracted from the payload: the package
// and command line it gets, the extension calls it makes while the entry runs,
// and the entry's result. A scripted peer in the proxy's place loses the
// result, which a real proxy never does.

#include "ParcelKindsSupport.h"

#include "parcels/PipeRecords.h"
#include "parcels/WebDeployParcelHandler.h"

using namespace parcel_kinds;
using namespace proxy_testing;

namespace {


class WebDeployParcel : public ParcelKinds {
protected:
    void SetUp() override
    {
        ParcelKinds::SetUp();
        m_staging.stream = std::make_unique<STREAM>(_stringx(PayloadCarrier().c_str()));
        MakeParcel(L"WebDeploy");
    }

    // What the stand-in's entry was given, as it stored it in the engine: "package|command line".
    std::wstring Deployed() { return m_engine->GetProperty(L"HalvecallWebDeploy").c_str(); }
};

TEST_F(WebDeployParcel, DeploysThroughTheRealNonElevatedProxy)
{
    m_proxies.realProxies = m_engine.Get();
    m_services.setupEngine.store.SetAttribute(L"Suffix", L"_1");
    m_services.setupEngine.store.SetAttribute(L"Site", L"Default");
    // The stand-in's entry returns what it reads here through the extension.
    m_parcel->SetAttribute(L"HalvecallWebDeployResult", L"1");
    EXPECT_EQ(static_cast<HRESULT>(0x80070001),
              RunOperation(L"Install", {{L"Target", L"web[Suffix].zip"}, {L"CommandLine", L"-site:[Site]"}}));
    EXPECT_EQ(static_cast<HRESULT>(0x80070001), m_parcel->Handler()->GetLastStatus());

    // A relative Target is joined as written; the command line is expanded.
    EXPECT_EQ((m_folder / L"web[Suffix].zip") + L"|-site:Default", Deployed());
    EXPECT_TRUE(Exists(m_staging.stagingFolder.path_combine(L"Halvecall.dll").c_str()));
    EXPECT_EQ((std::vector<std::wstring>{L"plain|32"}), m_proxies.requests);
    const CProxyHandler* proxy = m_engine->Model().proxies.nonElevated.get();
    ASSERT_NE(nullptr, proxy);
    EXPECT_NE(GetCurrentProcessId(), GetProcessId(proxy->Process()));
    EXPECT_EQ(nullptr, proxy->FindHandler(9));
    EXPECT_NE(std::wstring::npos,
              m_trace.Messages().find(L"(WebDeploy Parcel): web deploy " + (m_folder / L"web[Suffix].zip") +
                                      L"|-site:Default"));
    EXPECT_EQ(std::vector<DISPID>{1}, SinkIds());
}

TEST_F(WebDeployParcel, SilentRunsUseTheSilentTextEvenWhenEmpty)
{
    m_proxies.realProxies = m_engine.Get();
    m_services.silent = true;
    EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"C:\\sites\\web.zip"}, {L"CommandLine", L"-verbose"}}));
    EXPECT_EQ(L"C:\\sites\\web.zip|", Deployed());
}

TEST_F(WebDeployParcel, LostResultIsAFailure)
{
    for (LostResult ending : {LostResult::Dropped, LostResult::Empty}) {
        ScriptedPeer peer(LosingProxy(ending, {1, 0, 0, 0, 0}));
        m_proxies.nonElevated = peer.TakeEngineEnd();
        const HRESULT hr = RunOperation(L"Install", {{L"Target", L"web.zip"}});
        m_proxies.nonElevated.reset();
        peer.Join();
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        if (ending == LostResult::Empty) {
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
