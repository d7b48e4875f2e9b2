// The proxy's call-back objects against a test playing the engine: what they
// write on the pipe, and what they make of each answer, whole, refused,
// missing or cut short.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <com/Bstr.h>

#include "ProxyTestSupport.h"
#include "parcels/EmbeddedKRPHandler.h"
#include "parcels/EmbeddedProxyParcelExtension.h"
#include "parcels/EmbeddedProxySuiteExtension.h"
#include "parcels/PipeRecords.h"
#include "parcels/SehException.h"

using namespace proxy_testing;

namespace {

using Bytes = std::vector<BYTE>;

struct Seen {
    DWORD type = 0;
    Bytes payload;
};

// The engine's end: answers each message that arrives with the replies
// given for it (as the reply to its type), then records whatever else comes
// until the proxy's end closes.
class Engine {
public:
    explicit Engine(std::vector<std::vector<Bytes>> answers) : m_answers(std::move(answers)) {}

    ScriptedPeer::Script Script()
    {
        return [this](CNamedPipeHandler& engine) {
            for (const std::vector<Bytes>& replies : m_answers) {
                if (!Record(engine))
                    return;
                const DWORD type = engine.Type() | kPipeReply;
                for (const Bytes& reply : replies)
                    engine.WriteMessage(type, reply.empty() ? nullptr : reply.data(),
                                        static_cast<DWORD>(reply.size()));
            }
            while (Record(engine)) {
            }
        };
    }
    const std::vector<Seen>& Messages() const { return m_seen; }

private:
    bool Record(CNamedPipeHandler& engine)
    {
        if (!ReadNext(engine))
            return false;
        m_seen.push_back({engine.Type(), Bytes(engine.Payload().begin(), engine.Payload().end())});
        return true;
    }

    std::vector<std::vector<Bytes>> m_answers;
    std::vector<Seen> m_seen;
};

// Runs work with the proxy's end of a pipe whose other end the engine plays.
template <class Work>
void WithEngine(Engine& engine, Work work)
{
    ScriptedPeer peer(engine.Script());
    std::unique_ptr<CProxyHandler> pipe = peer.TakeEngineEnd();
    work(pipe.get());
}

Bytes Words(std::initializer_list<DWORD> words)
{
    Bytes bytes(words.size() * 4);
    std::memcpy(bytes.data(), std::data(words), bytes.size());
    return bytes;
}

Bytes Result(DWORD subCode, HRESULT status, const Bytes& result)
{
    return WriteExtensionCallResult({subCode, status, result});
}

Bytes TextResult(DWORD subCode, const std::wstring& text)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    return Result(subCode, S_OK, Bytes(p, p + text.size() * 2));
}

ExtensionCallRequest SentCall(const Seen& seen, bool progress = true)
{
    ProxyRequestView request;
    ExtensionCallRequest call;
    EXPECT_TRUE(ReadProxyRequest(seen.payload, request));
    EXPECT_TRUE(ReadExtensionCallRequest(request.data1, progress, call));
    return call;
}

std::wstring Text(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

DWORD SentCode(const Seen& seen)
{
    DWORD code = 0;
    ReadWord(seen.payload, code);
    return code;
}

// Error and progress call-backs: the engine's answer, or none.
TEST(EmbeddedKrpHandler, ErrorAndProgressHandBackTheEnginesAnswer)
{
    const struct {
        bool progress;
        Bytes answer;
        HRESULT result;
        int action;           // error: 77 when untouched
        VARIANT_BOOL cancel;  // progress: 5 when untouched
    } rows[] = {
        {false, Words({5, 0, 3}), HRESULT_FROM_WIN32(5), 3, 5},
        {false, Words({static_cast<DWORD>(E_ABORT), 9, 2}), E_ABORT, 2, 5},
        {true, Words({0, 0x1FFFF, 4}), S_OK, 77, VARIANT_TRUE},
        {true, Words({0, 0, 0}), S_OK, 77, VARIANT_FALSE},
        // Shorter than 12 bytes: no answer, nothing changed.
        {false, Words({5, 0}), S_OK, 77, 5},
        {true, Words({5, 1}), S_OK, 77, 5},
        {true, Bytes(), S_OK, 77, 5},
    };
    for (const auto& row : rows) {
        Engine engine({{row.answer}});
        int action = 77;
        VARIANT_BOOL cancel = 5;
        HRESULT result = E_FAIL;
        WithEngine(engine, [&](CProxyHandler* pipe) {
            CEmbeddedKRPHandler handler(pipe);
            result = row.progress ? handler.OnProgress(L"Copying", 40, 100, 2, &cancel)
                                  : handler.OnError(L"Disk full", 0x30, &action);
        });
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(action, row.action);
        EXPECT_EQ(cancel, row.cancel);
        ASSERT_EQ(engine.Messages().size(), 1u);
        EXPECT_EQ(engine.Messages()[0].type, kPipeCallback);
        KrpProgressCallback sent;
        ASSERT_TRUE(ReadKrpProgressCallback(engine.Messages()[0].payload, sent));
        if (row.progress) {
            EXPECT_EQ(sent.code, 2u);
            EXPECT_EQ(sent.words[0], 2u);
            EXPECT_EQ(sent.words[1], 40u);
            EXPECT_EQ(sent.words[2], 100u);
            EXPECT_EQ(std::wstring(sent.text.c_str()), L"Copying");
        } else {
            EXPECT_EQ(sent.code, 1u);
            EXPECT_EQ(sent.words[0], 0x30u);
            EXPECT_EQ(std::wstring(sent.text.c_str()), L"Disk full");
        }
    }
}

TEST(EmbeddedKrpHandler, QueryTakesOnlyAWholeTextAnswer)
{
    Bytes pastTheEnd = WriteQueryAnswer({0, QueryAnswer::kText, L"D:\\disk2"});
    pastTheEnd[12] = 40; // the answer's length runs past the message
    const struct {
        Bytes answer;
        int kind;
        const wchar_t* text;
    } rows[] = {
        {WriteQueryAnswer({0, QueryAnswer::kText, L"D:\\disk2"}), 4, L"D:\\disk2"},
        {WriteQueryAnswer({0, QueryAnswer::kNone, L""}), 2, L"C:\\media"},
        {Words({0, 0, 7, 0}), 2, L"C:\\media"},
        {pastTheEnd, 2, L"C:\\media"},
        {Words({0, 0, 4}), 2, L"C:\\media"},
        {Bytes(), 2, L"C:\\media"},
    };
    for (const auto& row : rows) {
        Engine engine({{row.answer}});
        _stringx answer = L"C:\\media";
        int kind = 0;
        HRESULT result = E_FAIL;
        WithEngine(engine, [&](CProxyHandler* pipe) {
            result = CEmbeddedKRPHandler(pipe).OnQuery(L"disk2.cab", 6, answer, &kind);
        });
        EXPECT_EQ(result, S_OK);
        EXPECT_EQ(kind, row.kind);
        EXPECT_EQ(std::wstring(answer.c_str()), row.text);
        ASSERT_EQ(engine.Messages().size(), 1u);
        KrpProgressCallback sent;
        ASSERT_TRUE(ReadKrpProgressCallback(engine.Messages()[0].payload, sent));
        EXPECT_EQ(sent.code, 4u);
        EXPECT_EQ(sent.query_kind, 6u);
        EXPECT_EQ(std::wstring(sent.text.c_str()), L"disk2.cab");
        EXPECT_EQ(std::wstring(sent.default_answer.c_str()), L"C:\\media");
    }
}

TEST(EmbeddedKrpHandler, WithoutPipeEveryCallBackGives233AndItNeverElevates)
{
    CEmbeddedKRPHandler handler(nullptr);
    int action = 0;
    VARIANT_BOOL cancel = 0;
    _stringx answer;
    int kind = 0;
    EXPECT_EQ(handler.OnError(L"e", 0, &action), 233);
    EXPECT_EQ(handler.OnProgress(L"p", 0, 0, 0, &cancel), 233);
    EXPECT_EQ(handler.OnQuery(L"q", 0, answer, &kind), 233);
    EXPECT_EQ(handler.RunElevated(L"REViziz.dll", L"setup", L"/q"), 1626);
}

com::ComPtr<com::Object<CEmbeddedProxySuiteExtension>> SuiteExtensionOn(CProxyHandler* pipe, bool parcel)
{
    com::ComPtr<com::Object<CEmbeddedProxySuiteExtension>> extension;
    EXPECT_EQ(CEmbeddedProxySuiteExtension::CreateInstance(extension), S_OK);
    extension->SetPipe(pipe);
    extension->SetParcelOffered(parcel);
    return extension;
}

TEST(EmbeddedSuiteExtension, EachMemberIsOneRequestNineWithItsTexts)
{
    Engine engine({
        {Words({0}), Result(1, S_FALSE, {})},
        {Words({0}), TextResult(2, L"engine value")},
        {Words({0}), Result(3, S_OK, {})},
        {Words({0}), TextResult(4, L"<formatted>")},
        {Words({0}), TextResult(5, L"resolved")},
        {Words({0}), Result(6, S_OK, {})},
    });
    HRESULT results[6] = {};
    std::wstring value, formatted, resolved;
    WithEngine(engine, [&](CProxyHandler* pipe) {
        auto extension = SuiteExtensionOn(pipe, false);
        com::Bstr name(L"Prop"), text(L"[Prop]"), id(L"IDS_X");
        com::Bstr out1, out2, out3;
        results[0] = extension->LogInfo(nullptr);
        results[1] = extension->get_Property(name.Get(), out1.Put());
        results[2] = extension->put_Property(name.Get(), nullptr);
        results[3] = extension->FormatProperty(text.Get(), out2.Put());
        results[4] = extension->ResolveString(id.Get(), out3.Put());
        results[5] = extension->SendProgressMessage(nullptr, 3, 7, epfProgressValid);
        value = Text(out1.Get());
        formatted = Text(out2.Get());
        resolved = Text(out3.Get());
    });
    EXPECT_EQ(results[0], S_FALSE);
    for (int i = 1; i < 6; ++i)
        EXPECT_EQ(results[i], S_OK) << i;
    EXPECT_EQ(value, L"engine value");
    EXPECT_EQ(formatted, L"<formatted>");
    EXPECT_EQ(resolved, L"resolved");

    const auto& seen = engine.Messages();
    ASSERT_EQ(seen.size(), 6u);
    const struct {
        DWORD sub_code;
        const wchar_t* text1;
        const wchar_t* text2;
    } expected[] = {{1, L"", L""}, {2, L"Prop", L""}, {3, L"Prop", L""},
                    {4, L"[Prop]", L""}, {5, L"IDS_X", L""}, {6, L"", L""}};
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].type, kPipeRequest);
        EXPECT_EQ(SentCode(seen[i]), 9u);
        const ExtensionCallRequest call = SentCall(seen[i]);
        EXPECT_EQ(call.sub_code, expected[i].sub_code);
        EXPECT_EQ(std::wstring(call.text1.c_str()), expected[i].text1);
        EXPECT_EQ(std::wstring(call.text2.c_str()), expected[i].text2);
    }
    const ExtensionCallRequest progress = SentCall(seen[5]);
    EXPECT_EQ(progress.progress[0], 3u);
    EXPECT_EQ(progress.progress[1], 7u);
    EXPECT_EQ(progress.progress[2], static_cast<DWORD>(epfProgressValid));
}

// A script engine calls by name through IDispatch.
TEST(EmbeddedSuiteExtension, CallsByNameThroughIDispatchAreRequestsNineToo)
{
    Engine engine({
        {Words({0}), Result(1, S_OK, {})},
        {Words({0}), TextResult(2, L"engine value")},
    });
    HRESULT logged = E_FAIL, read = E_FAIL;
    std::wstring value;
    WithEngine(engine, [&](CProxyHandler* pipe) {
        auto extension = SuiteExtensionOn(pipe, false);
        IDispatch* dispatch = static_cast<ISuiteExtension2*>(extension.Get());
        DISPID logInfo = 0, property = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"LogInfo"), const_cast<LPOLESTR>(L"Property")};
        ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &logInfo), S_OK);
        ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &property), S_OK);
        VARIANT argument;
        argument.vt = VT_BSTR;
        argument.bstrVal = SysAllocString(L"from a script");
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        logged = dispatch->Invoke(logInfo, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        SysFreeString(argument.bstrVal);
        argument.bstrVal = SysAllocString(L"Prop");
        VARIANT result;
        VariantInit(&result);
        read = dispatch->Invoke(property, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr);
        if (result.vt == VT_BSTR)
            value = Text(result.bstrVal);
        VariantClear(&result);
        SysFreeString(argument.bstrVal);
    });
    EXPECT_EQ(logged, S_OK);
    EXPECT_EQ(read, S_OK);
    EXPECT_EQ(value, L"engine value");
    ASSERT_EQ(engine.Messages().size(), 2u);
    EXPECT_EQ(std::wstring(SentCall(engine.Messages()[0]).text1.c_str()), L"from a script");
    EXPECT_EQ(SentCall(engine.Messages()[1]).sub_code, 2u);
}

TEST(EmbeddedSuiteExtension, RefusalsAndMissingResultsAreResults)
{
    Bytes cut = TextResult(2, L"long value");
    cut.resize(24 + 6); // the record claims 20 bytes of text and holds 6
    const struct {
        std::vector<Bytes> answers;
        HRESULT result;
    } rows[] = {
        {{Words({50})}, HRESULT_FROM_WIN32(50)},
        {{Words({static_cast<DWORD>(E_NOTIMPL)})}, E_NOTIMPL},
        {{Bytes()}, HRESULT_FROM_WIN32(233)},
        {{Words({0}), Bytes()}, S_FALSE},
        {{Words({0}), cut}, S_FALSE},
        {{Words({0}), Result(2, E_ACCESSDENIED, {})}, E_ACCESSDENIED},
    };
    for (const auto& row : rows) {
        Engine engine({row.answers});
        HRESULT result = S_OK;
        BSTR value = reinterpret_cast<BSTR>(1);
        WithEngine(engine, [&](CProxyHandler* pipe) {
            com::Bstr name(L"Prop");
            result = SuiteExtensionOn(pipe, false)->get_Property(name.Get(), &value);
        });
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(value, nullptr);
        // Only the one request went out: no second read of a refused call.
        EXPECT_EQ(engine.Messages().size(), 1u);
    }
}

TEST(EmbeddedSuiteExtension, NoTrafficForAttributesNullOutPointersOrAMissingPipe)
{
    Engine engine({});
    WithEngine(engine, [&](CProxyHandler* pipe) {
        auto extension = SuiteExtensionOn(pipe, false);
        com::Bstr name(L"Prop");
        BSTR value = nullptr;
        EXPECT_EQ(extension->get_Attribute(name.Get(), &value), E_NOTIMPL);
        EXPECT_EQ(extension->get_Property(name.Get(), nullptr), E_POINTER);
        EXPECT_EQ(extension->FormatProperty(name.Get(), nullptr), E_POINTER);
        EXPECT_EQ(extension->ResolveString(name.Get(), nullptr), E_POINTER);
        // Without the parcel flag there is no parcel to ask for.
        com::ComPtr<IParcel> parcel;
        EXPECT_EQ(extension->QueryInterface(IID_IParcel, reinterpret_cast<void**>(parcel.Put())), E_NOINTERFACE);
        EXPECT_EQ(parcel.Get(), nullptr);
    });
    EXPECT_TRUE(engine.Messages().empty());
    EXPECT_EQ(SuiteExtensionOn(nullptr, false)->LogInfo(nullptr), HRESULT_FROM_WIN32(233));
}

TEST(EmbeddedParcelExtension, ReadsGoAsRequestThirteenOnTheSamePipe)
{
    Engine engine({
        {Words({0}), TextResult(0, L"Kelto parcel")},
        {Words({0}), Result(3, S_OK, Words({0x1FFFF}))},
        {Words({0}), Result(8, E_UNEXPECTED, Words({42}))},
        {Words({0}), Result(9, S_OK, Bytes{1, 0})},
        {Words({0}), Result(10, S_OK, Words({2}))},
        {Words({0}), Bytes()},
    });
    std::wstring name;
    VARIANT_BOOL eligible = 0;
    int exitCode = 7;
    EnumParcelType type = static_cast<EnumParcelType>(5);
    EnumParcelUIType uiType = static_cast<EnumParcelUIType>(0);
    HRESULT results[7] = {};
    WithEngine(engine, [&](CProxyHandler* pipe) {
        auto extension = SuiteExtensionOn(pipe, true);
        com::ComPtr<IParcel> parcel;
        ASSERT_EQ(extension->QueryInterface(IID_IParcel, reinterpret_cast<void**>(parcel.Put())), S_OK);
        com::Bstr text;
        results[0] = parcel->get_Name(text.Put());
        name = Text(text.Get());
        results[1] = parcel->get_Eligible(&eligible);
        results[2] = parcel->get_ExitCode(&exitCode);
        results[3] = parcel->get_Type(&type);
        results[4] = parcel->get_UIType(&uiType);
        EnumParcelInstallState detected = static_cast<EnumParcelInstallState>(3);
        results[5] = parcel->get_DetectedState(&detected);
        EXPECT_EQ(detected, 3);
        results[6] = parcel->put_ActionState(episInstalled);
        EXPECT_EQ(parcel->get_Name(nullptr), E_POINTER);
    });
    EXPECT_EQ(results[0], S_OK);
    EXPECT_EQ(name, L"Kelto parcel");
    EXPECT_EQ(results[1], S_OK);
    EXPECT_EQ(eligible, VARIANT_TRUE); // the low 16 bits
    EXPECT_EQ(results[2], E_UNEXPECTED);
    EXPECT_EQ(exitCode, 7); // a failed read stores nothing
    EXPECT_EQ(results[3], S_OK);
    EXPECT_EQ(type, 5); // a result that is not 4 bytes stores nothing
    EXPECT_EQ(uiType, 2);
    EXPECT_EQ(results[4], S_OK);
    EXPECT_EQ(results[5], S_FALSE);
    EXPECT_EQ(results[6], E_NOTIMPL);

    const auto& seen = engine.Messages();
    ASSERT_EQ(seen.size(), 6u); // the setter and the null pointer sent nothing
    const DWORD subCodes[] = {0, 3, 8, 9, 10, 7};
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(SentCode(seen[i]), 13u);
        ProxyRequestView request;
        ASSERT_TRUE(ReadProxyRequest(seen[i].payload, request));
        EXPECT_EQ(Bytes(request.data1.begin(), request.data1.end()), Words({subCodes[i], 0, 0, 0, 0, 0, 0}));
    }
}

__attribute__((noinline)) DWORD WriteThroughNull()
{
    *static_cast<volatile int*>(nullptr) = 1;
    return 0;
}

TEST(SehException, AFaultInsideLeavesAsAnExceptionWithItsRecord)
{
    try {
        CSehException::RunTranslated([] { return WriteThroughNull(); });
        FAIL() << "no exception";
    } catch (const CSehException& caught) {
        const CSehException copy = caught;
        EXPECT_EQ(copy.Code(), static_cast<unsigned int>(EXCEPTION_ACCESS_VIOLATION));
        EXPECT_EQ(copy.Record().ExceptionCode, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
        EXPECT_NE(copy.Address(), nullptr);
#if defined(__x86_64__)
        EXPECT_EQ(reinterpret_cast<DWORD_PTR>(copy.Address()), copy.Context().Rip);
#endif
    }
    EXPECT_EQ(CSehException::RunTranslated([] { return 3010u; }), 3010u);
}

} // namespace
