// The engine's answers to an extension running in a proxy: requests 9 and 13
// written by a scripted peer, served by the extension objects directly and
// inside a DLL call's wait.

#include <gtest/gtest.h>

#include <vector>

#include "ProxyTestSupport.h"
#include "parcels/Parcel.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyApi.h"
#include "parcels/ProxyParcelExtension.h"
#include "parcels/ProxySuiteExtension.h"

using namespace proxy_testing;

namespace {

constexpr DWORD kReply = kPipeReply | kPipeRequest;

struct Message {
    DWORD type = 0;
    std::vector<BYTE> payload;
    DWORD Word() const
    {
        DWORD word = 0;
        ReadWord(payload, word);
        return word;
    }
    ExtensionCallResult Result() const
    {
        ExtensionCallResult result;
        EXPECT_TRUE(ReadExtensionCallResult(payload, result));
        return result;
    }
    std::wstring Text() const
    {
        const ExtensionCallResult result = Result();
        return std::wstring(reinterpret_cast<const wchar_t*>(result.result.data()),
                            result.result.size() / sizeof(wchar_t));
    }
};

// Everything the peer reads until the engine's end closes.
struct Collector {
    std::vector<Message> messages;
    ScriptedPeer::Script Script()
    {
        return [this](CNamedPipeHandler& peer) {
            while (ReadNext(peer))
                messages.push_back({peer.Type(), std::vector<BYTE>(peer.Payload().begin(), peer.Payload().end())});
        };
    }
};

std::vector<Message> Serve(IProxyHandler& handler, const std::vector<BYTE>& data1)
{
    Collector collector;
    {
        ScriptedPeer peer(collector.Script());
        std::unique_ptr<CProxyHandler> engineEnd = peer.TakeEngineEnd();
        handler.HandleRequest(engineEnd.get(), data1.empty() ? nullptr : data1.data(),
                              static_cast<DWORD>(data1.size()));
    }
    return collector.messages;
}

std::vector<BYTE> Call(DWORD subCode, const wchar_t* text1 = L"", const wchar_t* text2 = L"")
{
    ExtensionCallRequest request;
    request.sub_code = subCode;
    request.text1 = text1;
    request.text2 = text2;
    if (subCode == 6) {
        request.has_progress = true;
        request.progress[0] = 2;
        request.progress[1] = 10;
        request.progress[2] = 0;
    }
    return WriteExtensionCallRequest(request);
}

class ExtensionServer : public ProxyEngine {
protected:
    void SetUp() override
    {
        ProxyEngine::SetUp();
        CParcel* raw = nullptr;
        ASSERT_EQ(S_OK, CParcel::CreateInstance(&raw));
        m_parcel = com::ComPtr<CParcel>::Adopt(raw);
        m_parcel->SetAttribute(L"ParcelProp", L"parcel value");
        m_parcel->SetAttribute(L"Fallback", L"");
        m_parcel->SetAttribute(L"DisplayName", L"Kelto parcel");
        m_engine->SetProperty(L"Fallback", L"engine value", false);
        ASSERT_EQ(S_OK, CProxySuiteExtension::CreateInstance(m_suite));
        m_suite->SetParcel(m_parcel.Get());
    }
    void TearDown() override
    {
        m_suite = nullptr;
        m_parcel = nullptr;
        ProxyEngine::TearDown();
    }

    com::ComPtr<CParcel> m_parcel;
    com::ComPtr<com::Object<CProxySuiteExtension>> m_suite;
};

struct SubCall {
    DWORD subCode;
    const wchar_t* text1;
    const wchar_t* text2;
    const wchar_t* result;
};

TEST_F(ExtensionServer, EverySubCallIsAcceptedAndAnswered)
{
    engine_testing::EventSink sink(*m_engine.Get());
    const SubCall calls[] = {
        {1, L"hello", L"", L""},
        {2, L"ParcelProp", L"", L"parcel value"},
        {2, L"Fallback", L"", L"engine value"},
        {3, L"PutProp", L"put value", L""},
        {4, L"<[ParcelProp]>", L"", L"<parcel value>"},
        {5, L"IDS_NO_SUCH_TEXT", L"", L"IDS_NO_SUCH_TEXT"},
        {6, L"step", L"", L""},
    };
    for (const SubCall& call : calls) {
        SCOPED_TRACE(call.text1);
        const std::vector<Message> answers = Serve(*m_suite.Get(), Call(call.subCode, call.text1, call.text2));
        ASSERT_EQ(2u, answers.size());
        EXPECT_EQ(kReply, answers[0].type);
        EXPECT_EQ(0u, answers[0].Word());
        EXPECT_EQ(kReply, answers[1].type);
        EXPECT_EQ(call.subCode, answers[1].Result().sub_code);
        EXPECT_EQ(S_OK, answers[1].Result().status);
        EXPECT_EQ(std::wstring(call.result), answers[1].Text());
    }
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"(Extension): hello"));
    EXPECT_EQ(std::wstring(L"put value"), m_engine->GetProperty(L"PutProp").c_str());
    bool progress = false;
    for (const auto& event : sink.Events())
        progress = progress || event.id == 12;
    EXPECT_TRUE(progress);
}

// An extension the caller attached: records what reaches it.
class AttachedExtension : public ISuiteExtension2 {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ISuiteExtension ||
            (iid == IID_ISuiteExtension2 && offersSecond)) {
            *out = static_cast<ISuiteExtension2*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Attribute(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP LogInfo(BSTR message) override
    {
        logged = message ? message : L"";
        return S_FALSE;
    }
    STDMETHODIMP get_Property(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Property(BSTR, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP FormatProperty(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP ResolveString(BSTR, BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SendProgressMessage(BSTR message, int current, int maximum, EnumProgressFlags) override
    {
        progress = std::wstring(message ? message : L"") + L" " + std::to_wstring(current) + L"/" +
                   std::to_wstring(maximum);
        return S_FALSE;
    }

    bool offersSecond = true;
    std::wstring logged;
    std::wstring progress;
};

TEST_F(ExtensionServer, AttachedExtensionReceivesTheCalls)
{
    AttachedExtension attached;
    m_suite->SetAttachedExtension(&attached);
    std::vector<Message> answers = Serve(*m_suite.Get(), Call(6, L"step"));
    ASSERT_EQ(2u, answers.size());
    EXPECT_EQ(S_FALSE, answers[1].Result().status);
    EXPECT_EQ(L"step 2/10", attached.progress);

    answers = Serve(*m_suite.Get(), Call(1, L"hello"));
    ASSERT_EQ(2u, answers.size());
    EXPECT_EQ(S_FALSE, answers[1].Result().status);
    EXPECT_EQ(L"hello", attached.logged);

    // Progress needs the second interface of the attached extension.
    attached.offersSecond = false;
    answers = Serve(*m_suite.Get(), Call(6, L"step"));
    ASSERT_EQ(2u, answers.size());
    EXPECT_EQ(E_NOINTERFACE, answers[1].Result().status);
    m_suite->SetAttachedExtension(nullptr);
}

TEST_F(ExtensionServer, BadRequestsAreAnsweredAlone)
{
    std::vector<BYTE> pastTheEnd = Call(1, L"hello");
    pastTheEnd[8] = 200; // text 1 claims more bytes than the record holds
    const struct {
        std::vector<BYTE> data1;
        HRESULT answer;
    } rows[] = {
        {{}, E_FAIL},
        {pastTheEnd, E_FAIL},
        {Call(0), E_NOTIMPL},
        {Call(7), DISP_E_BADINDEX},
    };
    for (const auto& row : rows) {
        const std::vector<Message> answers = Serve(*m_suite.Get(), row.data1);
        ASSERT_EQ(1u, answers.size());
        EXPECT_EQ(static_cast<DWORD>(row.answer), answers[0].Word());
    }
}

TEST_F(ExtensionServer, ParcelReadsAnswerFromTheParcel)
{
    com::ComPtr<com::Object<CProxyParcelExtension>> parcel;
    ASSERT_EQ(S_OK, CProxyParcelExtension::CreateInstance(parcel));
    parcel->SetParcel(m_parcel.Get());

    std::vector<Message> answers = Serve(*parcel.Get(), Call(0));
    ASSERT_EQ(2u, answers.size());
    EXPECT_EQ(S_OK, answers[1].Result().status);
    EXPECT_EQ(L"Kelto parcel", answers[1].Text());

    answers = Serve(*parcel.Get(), Call(6));
    ASSERT_EQ(2u, answers.size());
    EXPECT_EQ(0u, answers[0].Word());
    EXPECT_EQ(E_NOTIMPL, answers[1].Result().status);
    EXPECT_EQ(std::vector<BYTE>(4, 0), answers[1].Result().result);

    answers = Serve(*parcel.Get(), Call(11));
    ASSERT_EQ(1u, answers.size());
    EXPECT_EQ(static_cast<DWORD>(DISP_E_BADINDEX), answers[0].Word());
}

// A DLL call's wait serves requests 9 and 13 through the objects it registered,
// answers other codes 50 and reads on, and leaves no registration behind.
TEST_F(ExtensionServer, DllCallServesTheProxysRequestsWhileItWaits)
{
    std::vector<Message> seen;
    DWORD requestValue = ~0u;
    ScriptedPeer peer([&](CNamedPipeHandler& proxy) {
        if (!ReadNext(proxy) || proxy.Type() != kPipeRequest)
            return;
        ProxyRequestView request;
        if (ReadProxyRequest(proxy.Payload(), request))
            requestValue = request.value;
        WriteWordMessage(proxy, kReply, 0);
        auto send = [&](DWORD code, const std::vector<BYTE>& data1, size_t answers) {
            const std::vector<BYTE> message = WriteProxyRequest(code, 0, data1, {});
            proxy.WriteMessage(kPipeRequest, message.data(), static_cast<DWORD>(message.size()));
            for (size_t i = 0; i < answers && ReadNext(proxy); ++i)
                seen.push_back({proxy.Type(), std::vector<BYTE>(proxy.Payload().begin(), proxy.Payload().end())});
        };
        send(9, Call(1, L"from the DLL"), 2);
        send(12, {}, 1);
        send(18, {}, 1);
        send(13, Call(0), 2);
        WriteWordMessage(proxy, kReply, 0x1234);
    });
    Slots().nonElevated = peer.TakeEngineEnd();
    CProxyApi api;
    EXPECT_EQ(static_cast<HRESULT>(0x1234),
              api.CallDll((m_support / L"absent.dll").c_str(), L"Entry", m_parcel.Get(), false));
    peer.Join();
    EXPECT_EQ(1u, requestValue);
    ASSERT_EQ(6u, seen.size());
    EXPECT_EQ(S_OK, seen[1].Result().status);
    EXPECT_EQ(50u, seen[2].Word());
    EXPECT_EQ(50u, seen[3].Word());
    EXPECT_EQ(L"Kelto parcel", seen[5].Text());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"(DLL Action): from the DLL"));
    EXPECT_EQ(nullptr, Slots().nonElevated->FindHandler(9));
    EXPECT_EQ(nullptr, Slots().nonElevated->FindHandler(13));
}

} // namespace
