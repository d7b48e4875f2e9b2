// The "Appx" handler against the app-package helper stand-in: the request
// records it sends, the force flag, progress, the certificate request, the
// full-name query of a maintenance remove, and lost or refused answers.

#include "ParcelKindsSupport.h"

#include "parcels/AppxParcelHandler.h"

using namespace parcel_kinds;
using namespace proxy_testing;

namespace {

// Sub-operation and value of a request without texts, as the helper logs it.
std::string PlainRecord(DWORD operation, DWORD value)
{
    const DWORD words[8] = {operation, value};
    return HexOf(words, sizeof(words));
}

class AppxParcel : public ParcelKinds {
protected:
    void SetUp() override
    {
        ParcelKinds::SetUp();
        m_services.setupEngine.osVersion.dwMajorVersion = 10;
        MakeParcel(L"Appx");
    }

    void UseHelper(MosspakProcess& helper)
    {
        m_services.setupEngine.appxHelper = helper.Handler();
        m_services.setupEngine.appxHelperError = 0;
    }

    CAppxParcelHandler& Handler() { return *dynamic_cast<CAppxParcelHandler*>(m_parcel->Handler()); }
};

TEST_F(AppxParcel, InstallSendsThePackageAndTheForceFlag)
{
    const struct {
        const wchar_t* force;
        DWORD flag;
    } cases[] = {{L"YES", 1}, {L"yes", 1}, {L"no", 0}, {L"", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.force);
        MosspakProcess helper("@op 1 0 - 0\n");
        UseHelper(helper);
        m_parcel->SetAttribute(L"ForceAppShutdown", c.force);
        EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"app.msix"}}));
        const std::string log = helper.Log();
        EXPECT_NE(std::string::npos, log.find("request 11 value 0 data1 " + HexOfText(m_folder / L"app.msix") +
                                              " data2 " + PlainRecord(1, c.flag) + " operation"))
            << log;
    }
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Appx parcel target: " + (m_folder / L"app.msix")));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Appx parcel final status: 0x00000000"));
}

TEST_F(AppxParcel, ProgressReachesTheParcelAndTheResultIsAnHresult)
{
    MosspakProcess helper("@op 1 5 30,60 0\n");
    UseHelper(helper);
    EXPECT_EQ(static_cast<HRESULT>(0x80070005), RunOperation(L"Install", {{L"Target", L"app.msix"}}));
    const std::vector<parcel_testing::SinkCall> progress = SinkCallsOf(2);
    ASSERT_EQ(2u, progress.size());
    EXPECT_EQ((std::vector<std::wstring>{L"BSTR:", L"I4:30", L"I4:100", L"I4:1", L"BOOL*"}), progress[0].arguments);
    EXPECT_EQ(L"I4:60", progress[1].arguments[1]);
    EXPECT_EQ((std::vector<DISPID>{1, 2, 2, 1}), SinkIds());
    EXPECT_NE(std::string::npos, helper.Log().find("progress answer 0 cancel 0 type 2147483650")) << helper.Log();
}

TEST_F(AppxParcel, ModifyAndRepairSendNothing)
{
    MosspakProcess helper("@op 1 0 - 0\n");
    UseHelper(helper);
    m_services.mode = eimModify;
    EXPECT_EQ(S_OK, RunOperation(L"Modify", {{L"Target", L"app.msix"}}));
    EXPECT_EQ(S_OK, RunOperation(L"Repair", {{L"Target", L"app.msix"}}));
    EXPECT_EQ("", helper.Log());
}

TEST_F(AppxParcel, MaintenanceRemoveWithoutTargetAsksForTheFullName)
{
    m_parcel->SetAttribute(L"Name", L"Contoso.App");
    m_parcel->SetAttribute(L"Publisher", L"CN=Co");
    m_parcel->SetAttribute(L"ProcessorArchitecture", L"x64");
    m_parcel->SetAttribute(L"Version", L"1.2.3.4");
    m_services.mode = eimRemove;
    {
        MosspakProcess helper("@fullname Contoso.App_1.2.3.4_x64__abc\n@op 2 0 - 0\n");
        UseHelper(helper);
        EXPECT_EQ(S_OK, RunOperation(L"Remove", {}));
        const std::string log = helper.Log();
        // Sub-operation 4, version 1.2 / 3.4, the lengths and texts of architecture and publisher.
        const DWORD head[7] = {4, 0, 0x00010002, 0x00030004, 6, 10, 0};
        const std::string fullNameRecord = HexOf(head, sizeof(head)) + HexOfText(L"x64") + HexOfText(L"CN=Co") +
                                           "00000000";
        EXPECT_NE(std::string::npos,
                  log.find("data1 " + HexOfText(L"Contoso.App") + " data2 " + fullNameRecord + " full name"))
            << log;
        EXPECT_NE(std::string::npos, log.find("data1 " + HexOfText(L"Contoso.App_1.2.3.4_x64__abc") + " data2 " +
                                              PlainRecord(2, 0) + " operation"))
            << log;
        EXPECT_NE(
            std::wstring::npos,
            m_trace.Messages().find(L"Appx parcel: requested full name for package: Contoso.App_1.2.3.4_x64__abc"));
    }
    // A length beyond the reply gives no name, and the remove goes out with empty data.
    MosspakProcess helper("@badlength\n@op 2 0 - 0\n");
    UseHelper(helper);
    EXPECT_EQ(S_OK, RunOperation(L"Remove", {}));
    EXPECT_NE(std::string::npos, helper.Log().find("data1  data2 " + PlainRecord(2, 0) + " operation")) << helper.Log();
    EXPECT_NE(std::wstring::npos,
              m_trace.Messages().find(L"Appx parcel: failed to obtain package full name, status 0x00000000"));
}

TEST_F(AppxParcel, CertificateRequestIsServedWhereTheEngineCan)
{
    m_parcel->SetAttribute(L"CertFile", L"signer.cer");
    const std::wstring certificate = m_folder / L"signer.cer";

    // Elevated: imported here, into the machine's store.
    m_services.elevated = true;
    TestPublisherInTrustedPeople(true);
    ASSERT_TRUE(CopyFileW((std::wstring(TEST_DATA) + L"\\TrustedPublisher.cer").c_str(), certificate.c_str(), FALSE));
    {
        MosspakProcess helper("@op 1 0 - 1\n");
        UseHelper(helper);
        EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"app.msix"}}));
        EXPECT_TRUE(TestPublisherInTrustedPeople(true));
        EXPECT_NE(std::string::npos, helper.Log().find("certificate answer 0 type 2147483649")) << helper.Log();
    }
    // A file that holds no single certificate: the import's error is the answer.
    ASSERT_TRUE(CopyFileW((std::wstring(TEST_DATA) + L"\\TrustedPublisher.p7b").c_str(), certificate.c_str(), FALSE));
    {
        MosspakProcess helper("@op 1 0 - 1\n");
        UseHelper(helper);
        EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"app.msix"}}));
        EXPECT_NE(std::string::npos, helper.Log().find("certificate answer 50 ")) << helper.Log();
        EXPECT_FALSE(TestPublisherInTrustedPeople(true));
    }

    // Not elevated and no elevated proxy: 233.
    m_services.elevated = false;
    {
        MosspakProcess helper("@op 1 0 - 1\n");
        UseHelper(helper);
        EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"app.msix"}}));
        EXPECT_NE(std::string::npos, helper.Log().find("certificate answer 233")) << helper.Log();
        EXPECT_NE(std::wstring::npos,
                  m_trace.Messages().find(
                      L"Appx parcel handler: failed to obtain elevated proxy handler for cert install request"));
    }

    // Not elevated: request 11 {5, 0} with the certificate's path to the elevated proxy, whose answer goes back.
    ProxyRequestView seen;
    std::vector<BYTE> seenPayload;
    ScriptedPeer elevated([&](CNamedPipeHandler& proxy) {
        if (!ReadNext(proxy))
            return;
        seenPayload.assign(proxy.Payload().begin(), proxy.Payload().end());
        WriteWordMessage(proxy, kPipeReply | kPipeRequest, 0x8009);
    });
    m_proxies.elevated = elevated.TakeEngineEnd();
    MosspakProcess helper("@op 1 0 - 1\n");
    UseHelper(helper);
    EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"app.msix"}}));
    elevated.Join();
    ASSERT_TRUE(ReadProxyRequest(seenPayload, seen));
    EXPECT_EQ(11u, seen.code);
    EXPECT_EQ(HexOfText(certificate), HexOf(seen.data1.data(), seen.data1.size()));
    EXPECT_EQ(PlainRecord(5, 0), HexOf(seen.data2.data(), seen.data2.size()));
    EXPECT_NE(std::string::npos, helper.Log().find("certificate answer 32777")) << helper.Log();
}

TEST_F(AppxParcel, LostOrRefusedAnswersAreFailures)
{
    {
        // The helper goes away after its end call-back, before the result.
        MosspakProcess helper("@op 1 0 - 0 drop\n");
        UseHelper(helper);
        const HRESULT hr = RunOperation(L"Install", {{L"Target", L"app.msix"}});
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    }
    {
        // A result message without a result word.
        ScriptedPeer peer([](CNamedPipeHandler& helper) {
            if (!ReadNext(helper))
                return;
            WriteWordMessage(helper, kPipeReply | kPipeRequest, 0);
            WriteWordMessage(helper, kPipeCallback, 2);
            helper.WriteMessage(kPipeReply | kPipeRequest, nullptr, 0);
            ReadNext(helper);
        });
        std::unique_ptr<CProxyHandler> end = peer.TakeEngineEnd();
        m_services.setupEngine.appxHelper = end.get();
        EXPECT_EQ(static_cast<HRESULT>(0x800700E9), RunOperation(L"Install", {{L"Target", L"app.msix"}}));
        m_services.setupEngine.appxHelper = nullptr;
    }
    // No helper at all.
    EXPECT_EQ(static_cast<HRESULT>(0x800700E9), RunOperation(L"Install", {{L"Target", L"app.msix"}}));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Appx parcel: failed to obtain proxy handler"));
}

// Records of the helper that do not hold what they name are not read past:
// a request whose data is shorter than a sub-operation is neither logged nor
// answered, a progress call-back without its value is skipped, and a full
// name whose length splits a character gives no name.
TEST_F(AppxParcel, HelperRecordsThatDoNotFitAreNotRead)
{
    std::vector<DWORD> answeredTypes;
    {
        ScriptedPeer peer([&](CNamedPipeHandler& helper) {
            if (!ReadNext(helper))
                return;
            WriteWordMessage(helper, kPipeReply | kPipeRequest, 0);
            const BYTE half[2] = {5, 0};
            const std::vector<BYTE> shortRequest = WriteProxyRequest(11, 0, PipeBytes(half, sizeof(half)), {});
            helper.WriteMessage(kPipeRequest, shortRequest.data(), static_cast<DWORD>(shortRequest.size()));
            helper.WriteMessage(kPipeRequest, half, sizeof(half));
            const DWORD shortProgress[2] = {1, 1};
            helper.WriteMessage(kPipeCallback, shortProgress, sizeof(shortProgress));
            WriteWordMessage(helper, kPipeCallback, 2);
            WriteWordMessage(helper, kPipeReply | kPipeRequest, 0);
            while (ReadNext(helper))
                answeredTypes.push_back(helper.Type());
        });
        std::unique_ptr<CProxyHandler> end = peer.TakeEngineEnd();
        m_services.setupEngine.appxHelper = end.get();
        EXPECT_EQ(S_OK, RunOperation(L"Install", {{L"Target", L"app.msix"}}));
        m_services.setupEngine.appxHelper = nullptr;
    }
    EXPECT_EQ(std::vector<DWORD>{}, answeredTypes);
    EXPECT_EQ(std::wstring::npos, m_trace.Messages().find(L"Appx parcel: proxy request"));
    EXPECT_TRUE(SinkCallsOf(2).empty());

    m_services.mode = eimRemove;
    m_parcel->SetAttribute(L"Name", L"Contoso.App");
    ProxyRequestView remove;
    std::vector<BYTE> removePayload;
    {
        ScriptedPeer peer([&](CNamedPipeHandler& helper) {
            if (!ReadNext(helper))
                return;
            const DWORD oddName[3] = {0, 3, 0x00420041}; // "AB" with a length of 3 bytes
            helper.WriteMessage(kPipeReply | kPipeRequest, oddName, sizeof(oddName));
            if (!ReadNext(helper))
                return;
            removePayload.assign(helper.Payload().begin(), helper.Payload().end());
            WriteWordMessage(helper, kPipeReply | kPipeRequest, 0);
            WriteWordMessage(helper, kPipeCallback, 2);
            WriteWordMessage(helper, kPipeReply | kPipeRequest, 0);
            ReadNext(helper);
        });
        std::unique_ptr<CProxyHandler> end = peer.TakeEngineEnd();
        m_services.setupEngine.appxHelper = end.get();
        EXPECT_EQ(S_OK, RunOperation(L"Remove", {}));
        m_services.setupEngine.appxHelper = nullptr;
    }
    ASSERT_TRUE(ReadProxyRequest(removePayload, remove));
    EXPECT_EQ(0u, remove.data1.size());
    EXPECT_EQ(PlainRecord(2, 0), HexOf(remove.data2.data(), remove.data2.size()));
}

TEST_F(AppxParcel, DetectionAsksTheHelper)
{
    MosspakProcess helper("Contoso.App 0\n");
    UseHelper(helper);
    EnumParcelInstallState state = episInvalid;
    m_parcel->SetAttribute(L"Name", L"Contoso.App");
    EXPECT_EQ(S_OK, Handler().Detect(&state, false));
    EXPECT_EQ(episInstalled, state);
    m_parcel->SetAttribute(L"Name", L"Other.App");
    EXPECT_EQ(S_OK, Handler().Detect(&state, false));
    EXPECT_EQ(episAbsent, state);
}

} // namespace
