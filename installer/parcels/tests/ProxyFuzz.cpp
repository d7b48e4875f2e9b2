// Random and mutated messages into the proxy's dispatch and into every record
// reader, each payload flush against a no-access page so that a read past the
// message faults at once. What the handlers would do to the machine goes to
// recorders. A bench run: it takes its time.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include <com/ComPtr.h>

#include "ProxyServerHarness.h"
#include "parcels/EmbeddedKRPHandler.h"
#include "parcels/EmbeddedProxyParcelExtension.h"
#include "parcels/EmbeddedProxySuiteExtension.h"
#include "parcels/ProxyHandler.h"
#include "parcels/EmbeddedMSIHandler.h"
#include "parcels/MsiParcelHandler.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelFactory.h"
#include "parcels/TransactionHost.h"
#include "seh/SehGuard.h"

namespace {

// Bytes placed so that the first byte after them is on a no-access page.
class FlushBuffer {
public:
    FlushBuffer()
    {
        SYSTEM_INFO info = {};
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, kPages * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + (kPages - 1) * page_, page_, PAGE_NOACCESS, &old);
    }
    ~FlushBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }
    FlushBuffer(const FlushBuffer&) = delete;
    FlushBuffer& operator=(const FlushBuffer&) = delete;

    PipeBytes Place(const std::vector<BYTE>& bytes)
    {
        BYTE* end = base_ + (kPages - 1) * page_;
        const size_t size = std::min(bytes.size(), static_cast<size_t>((kPages - 1) * page_));
        std::memcpy(end - size, bytes.data(), size);
        return PipeBytes(end - size, size);
    }

private:
    static constexpr size_t kPages = 5;
    size_t page_ = 4096;
    BYTE* base_ = nullptr;
};

std::vector<std::vector<BYTE>> Seeds()
{
    const std::vector<BYTE> path = TextBytes(L"{12345678-ABCD-ABCD-ABCD-1234567890AB}");
    RegistryRecord registry;
    registry.key_path = L"Software\\Kr\\Fuzz";
    registry.value_name = L"V";
    registry.data = {1, 0, 0, 0};
    ArpRecord arp;
    for (size_t i = 0; i < ArpRecord::kTexts; ++i)
        arp.texts[i] = L"t";
    return {
        WriteProxyRequest(1, 0, path, TextBytes(L"/q")),
        WriteProxyRequest(2, 2, path, WriteMsiCommandData({1, L"A=1", L"log"})),
        WriteProxyRequest(3, 1, {}, {}),
        WriteProxyRequest(4, 0, {}, {}),
        WriteProxyRequest(5, 9, {}, {}),
        WriteProxyRequest(6, 0, {}, {}),
        WriteProxyRequest(7, 0, WordBytes({1}), {}),
        WriteProxyRequest(8, 0, WriteArpRecord(arp), {}),
        WriteProxyRequest(10, 0, path, TextBytes(L"/q -krenginedir:\"C:\\e\"")),
        WriteProxyRequest(11, 0, path, WordBytes({5, 0})),
        WriteProxyRequest(12, 2, path, WriteClrCallData({L"f", L"n", L"a"})),
        WriteProxyRequest(14, 1, path, WriteQuillexCallData({1, L"Main", L"sym"})),
        WriteProxyRequest(15, 0, path, WriteExeLaunchData({1, 1, L"/q", L"open"})),
        WriteProxyRequest(16, 0, path, WriteWebDeployCallData({L"a", L"b"})),
        WriteProxyRequest(17, 1, WriteRegistryRecord(registry), {}),
        WriteProxyRequest(17, 2, WriteRegistryRecord(registry), {}),
    };
}

std::vector<BYTE> Mutate(std::vector<BYTE> bytes, std::mt19937& random)
{
    switch (random() % 4) {
    case 0: { // a word to a boundary value
        if (bytes.size() < 4)
            break;
        const size_t at = (random() % (bytes.size() / 4)) * 4;
        const DWORD values[] = {0, 1, 2, 3, 4, static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size() + 1),
                                0x7FFFFFFF, 0x80000000, 0xFFFFFFF0, 0xFFFFFFFF, static_cast<DWORD>(random())};
        const DWORD value = values[random() % std::size(values)];
        std::memcpy(bytes.data() + at, &value, 4);
        break;
    }
    case 1: // bytes flipped
        for (int i = 0, n = 1 + random() % 4; i < n && !bytes.empty(); ++i)
            bytes[random() % bytes.size()] ^= static_cast<BYTE>(1 + random() % 255);
        break;
    case 2: // cut short
        bytes.resize(random() % (bytes.size() + 1));
        break;
    default: // noise
        bytes.resize(random() % 96);
        for (BYTE& b : bytes)
            b = static_cast<BYTE>(random());
        break;
    }
    return bytes;
}

TEST(ProxyFuzz, MutatedMessagesNeitherFaultNorHang)
{
    ServerOnPipe harness;
    FlushBuffer buffer;
    // The page after a placed message does fault.
    const PipeBytes placed = buffer.Place({1, 2, 3});
    EXPECT_EQ(RunSehGuarded([&] { return *(static_cast<volatile const BYTE*>(placed.data()) + placed.size()); }).result,
              static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    std::mt19937 random(20261211);
    const std::vector<std::vector<BYTE>> seeds = Seeds();
    const DWORD types[] = {1, 1, 1, 1, 1, 2, 3, 4, 0x80000001};
    for (int i = 0; i < 20000; ++i) {
        std::vector<BYTE> message = seeds[random() % seeds.size()];
        for (int n = 1 + random() % 3; n > 0; --n)
            message = Mutate(std::move(message), random);
        harness.DispatchInPlace(types[random() % std::size(types)], buffer.Place(message));
        harness.system().calls.clear();
    }
    // Still serving afterwards.
    ASSERT_EQ(harness.Request(6, 0).size(), 1u);
}

// A length word pushed past its record's end anywhere in a seed: refused with
// 87 and nothing done, whatever the value.
TEST(ProxyFuzz, OverlongLengthsAreAlwaysRefused)
{
    ServerOnPipe harness;
    FlushBuffer buffer;
    std::mt19937 random(7);
    struct Seed {
        std::vector<BYTE> request;
        size_t length_at; // in the request
        size_t fits;      // the largest value that still fits
    };
    const std::vector<BYTE> path = TextBytes(L"C:\\p");
    const std::vector<BYTE> exe = WriteExeLaunchData({1, 1, L"/q", L""});
    const std::vector<BYTE> registry = WriteRegistryRecord({0x80000002, 1, 2, L"K\\L", L"V", {1, 0}});
    const Seed seeds[] = {
        // data1's length, with data2's as it is: the request's 4 trailing bytes may be taken, no more.
        {WriteProxyRequest(15, 0, path, exe), 8, path.size() + 4},
        // The arguments' length: "/q" and the record's 4 trailing bytes.
        {WriteProxyRequest(15, 0, path, exe), 16 + path.size() + 8, 4 + 4},
        // The key path's length, with the value name's and the data's as they are.
        {WriteProxyRequest(17, 1, registry, {}), 16 + 12, registry.size() - 24 - 4},
    };
    for (const Seed& seed : seeds) {
        for (int i = 0; i < 500; ++i) {
            std::vector<BYTE> request = seed.request;
            const DWORD value = static_cast<DWORD>(seed.fits + 1 + random() % (0xFFFFFFFFull - seed.fits));
            std::memcpy(request.data() + seed.length_at, &value, 4);
            const std::vector<Message> replies = harness.DispatchInPlace(kPipeRequest, buffer.Place(request));
            ASSERT_EQ(replies.size(), 1u) << value;
            EXPECT_EQ(replies[0].Word(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << value;
            EXPECT_TRUE(harness.system().calls.empty()) << value;
        }
    }
}

TEST(ProxyFuzz, EngineSideReadersStayInsideTheirRecord)
{
    FlushBuffer buffer;
    std::mt19937 random(99);
    const std::vector<std::function<void(PipeBytes)>> readers = {
        [](PipeBytes b) { _stringx p; ReadFolderReply(b, p); },
        [](PipeBytes b) { MsiUiCallback c; ReadMsiUiCallback(b, c); },
        [](PipeBytes b) { KrpProgressCallback c; ReadKrpProgressCallback(b, c); },
        [](PipeBytes b) { QueryAnswer a; ReadQueryAnswer(b, a); },
        [](PipeBytes b) { CallbackAnswer a; ReadCallbackAnswer(b, a); },
        [](PipeBytes b) { ExtensionCallRequest r; ReadExtensionCallRequest(b, true, r); },
        [](PipeBytes b) { ExtensionCallResult r; ReadExtensionCallResult(b, r); },
        [](PipeBytes b) { ArpRecord r; ReadArpRecord(b, r); },
        [](PipeBytes b) { ProxyRequestView v; ReadProxyRequest(b, v); },
    };
    const std::vector<std::vector<BYTE>> seeds = {
        WriteFolderReply(L"C:\\P\\"),
        WriteMsiUiCallback({2, 0, 1, 5, 9, L"x"}),
        WriteKrpProgressCallback({4, {}, 1, L"q", L"a"}),
        WriteQueryAnswer({0, QueryAnswer::kText, L"a"}),
        WriteExtensionCallRequest({6, L"m", L"", true, {1, 2, 3}}),
        WriteExtensionCallResult({2, 0, {1, 2, 3, 4}}),
        WriteArpRecord({}),
    };
    for (int i = 0; i < 50000; ++i) {
        const std::vector<BYTE> bytes = Mutate(seeds[random() % seeds.size()], random);
        readers[random() % readers.size()](buffer.Place(bytes));
    }
    SUCCEED();
}

// ---- The proxy's call-back objects: the engine's answers to their call-backs
// and their requests 9 and 13, mutated. Every call must come back, whatever
// arrives.

// A pipe whose proxy end the objects use while a thread plays the engine.
class MutatingEngine {
public:
    explicit MutatingEngine(unsigned seed) : random_(seed)
    {
        const std::wstring name = L"\\\\.\\pipe\\KRProxyFuzzEngine_" + std::to_wstring(GetCurrentProcessId());
        HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ConnectNamedPipe(server, nullptr);
        engine_ = std::make_unique<CNamedPipeHandler>(server);
        proxy_ = std::make_unique<CProxyHandler>(client, nullptr);
        thread_ = std::thread([this] { Serve(); });
    }
    ~MutatingEngine()
    {
        proxy_.reset();
        thread_.join();
    }
    MutatingEngine(const MutatingEngine&) = delete;
    MutatingEngine& operator=(const MutatingEngine&) = delete;

    CProxyHandler* Proxy() { return proxy_.get(); }

private:
    std::vector<BYTE> Answer(DWORD type, const std::vector<BYTE>& seed)
    {
        const std::vector<BYTE> bytes = random_() % 3 ? Mutate(seed, random_) : seed;
        engine_->WriteMessage(type, bytes.empty() ? nullptr : bytes.data(), static_cast<DWORD>(bytes.size()));
        return bytes;
    }
    void Serve()
    {
        const std::wstring text = L"D:\\media";
        QueryAnswer query;
        query.kind = QueryAnswer::kText;
        query.answer = text.c_str();
        const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
        const std::vector<BYTE> textResult = WriteExtensionCallResult({2, S_OK, {p, p + text.size() * 2}});
        const std::vector<BYTE> numberResult = WriteExtensionCallResult({3, S_OK, {0xFF, 0xFF, 1, 0}});
        while (engine_->ReadMessage() == 0 && engine_->HasPayload()) {
            DWORD code = 0;
            ReadWord(engine_->Payload(), code);
            const DWORD reply = engine_->Type() | kPipeReply;
            if (engine_->Type() == kPipeCallback) {
                Answer(reply, code == 4 ? WriteQueryAnswer(query)
                                        : WriteCallbackAnswer({5, 0xFFFF, 3}));
            } else {
                // The result record follows an acceptance only, as it does from the engine.
                DWORD accepted = 1;
                if (ReadWord(Answer(reply, WordBytes({0})), accepted) && accepted == 0)
                    Answer(reply, random_() % 2 ? textResult : numberResult);
            }
        }
    }

    std::mt19937 random_;
    std::unique_ptr<CNamedPipeHandler> engine_;
    std::unique_ptr<CProxyHandler> proxy_;
    std::thread thread_;
};

TEST(ProxyFuzz, CallBackObjectsSurviveMutatedAnswers)
{
    MutatingEngine engine(1211);
    std::mt19937 random(35);
    CEmbeddedKRPHandler krp(engine.Proxy());
    com::ComPtr<com::Object<CEmbeddedProxySuiteExtension>> suite;
    ASSERT_EQ(CEmbeddedProxySuiteExtension::CreateInstance(suite), S_OK);
    suite->SetPipe(engine.Proxy());
    suite->SetParcelOffered(true);
    com::ComPtr<IParcel> parcel;
    ASSERT_EQ(suite->QueryInterface(IID_IParcel, reinterpret_cast<void**>(parcel.Put())), S_OK);
    BSTR name = SysAllocString(L"Prop");
    for (int i = 0; i < 5000; ++i) {
        int action = 0;
        VARIANT_BOOL flag = 0;
        BSTR out = nullptr;
        int number = 0;
        switch (random() % 8) {
        case 0:
            krp.OnError(L"error", 1, &action);
            break;
        case 1:
            krp.OnProgress(L"progress", 1, 2, 3, &flag);
            break;
        case 2: {
            _stringx answer = L"C:\\media";
            int kind = 0;
            EXPECT_EQ(krp.OnQuery(L"disk", 1, answer, &kind), S_OK);
            EXPECT_TRUE(kind == 2 || kind == 4) << kind;
            break;
        }
        case 3:
            suite->get_Property(name, &out);
            break;
        case 4:
            suite->SendProgressMessage(name, 1, 2, epfMessageValid);
            break;
        case 5:
            parcel->get_Name(&out);
            break;
        case 6:
            parcel->get_Eligible(&flag);
            break;
        default:
            parcel->get_ExitCode(&number);
            break;
        }
        SysFreeString(out);
    }
    SysFreeString(name);
    parcel = nullptr;
    suite = nullptr;
}

// The proxy's message handler reads the engine's answers to its call-backs
// only inside their message: a short answer is no answer.
TEST(ProxyFuzz, CallBackAnswersAreReadOnlyInsideTheirMessage)
{
    std::mt19937 random(35);
    const std::vector<std::vector<BYTE>> seeds = {
        WriteCallbackAnswer({0, 0, 4}),
        WriteCallbackAnswer({5, 0xFFFF, 3}),
        WriteCallbackAnswer({static_cast<LONG>(0x80004005), 1, 2}),
    };
    std::vector<std::vector<BYTE>> answers;
    for (int i = 0; i < 2000; ++i)
        answers.push_back(Mutate(seeds[random() % seeds.size()], random));
    PipePeer peer([&](const std::wstring& name) {
        CProxyHandler engine(name.c_str());
        for (const std::vector<BYTE>& answer : answers) {
            if (engine.ReadMessage() != 0)
                return;
            engine.WriteMessage(kPipeReply | kPipeCallback, answer.data(), static_cast<DWORD>(answer.size()));
        }
    });
    CEmbeddedMSIHandler handler(&peer.Engine());
    for (const std::vector<BYTE>& answer : answers) {
        int action = 77;
        const HRESULT result = handler.OnError(L"message", 1, &action);
        if (answer.size() < 12) {
            EXPECT_EQ(result, S_OK);
            EXPECT_EQ(action, 77);
            continue;
        }
        DWORD words[3] = {};
        std::memcpy(words, answer.data(), sizeof(words));
        EXPECT_EQ(action, static_cast<int>(words[2]));
        const LONG status = static_cast<LONG>(words[0]);
        EXPECT_EQ(result, status > 0 ? HRESULT_FROM_WIN32(static_cast<DWORD>(status)) : status);
    }
}

class OpenTransaction : public ITransactionHost {
public:
    explicit OpenTransaction(IProxyConnection& proxy) : proxy_(proxy) { SetTransactionHost(this); }
    ~OpenTransaction() { SetTransactionHost(nullptr); }
    IProxyConnection* GetProxyHandler(bool, bool) override { return &proxy_; }
    void SetTransactionProxy(IProxyConnection*) override {}
    IProxyConnection* TransactionProxy() const noexcept override { return &proxy_; }

private:
    IProxyConnection& proxy_;
};

// The engine's side of request 2 against mutated call-backs, stray messages
// and mutated results: every run ends, with the result or 233.
TEST(ProxyFuzz, MsiCallBacksAndResultsEndTheWait)
{
    std::mt19937 random(2);
    CParcel* made = nullptr;
    ASSERT_EQ(MakeParcelForElement(L"Msi", &made), S_OK);
    auto parcel = com::ComPtr<CParcel>::Adopt(made);
    auto* handler = dynamic_cast<CMsiParcelHandler*>(parcel->Handler());
    ASSERT_NE(handler, nullptr);
    const std::vector<std::vector<BYTE>> callbacks = {
        WriteMsiUiCallback({1, 0x31, 0, 0, 0, L"Disk full"}),
        WriteMsiUiCallback({2, 0, 1, 5, 9, L"Copying"}),
        WriteMsiUiCallback({4, 0xFFFF, 0, 0, 0, L"1: a.exe 2: A "}),
        WordBytes({3, 0, 0, 0, 0, 0, 0}),
    };
    const DWORD types[] = {kPipeCallback, kPipeCallback, kPipeCallback, kPipeReply | kPipeRequest, kPipeHello};
    int completed = 0;
    for (int run = 0; run < 300; ++run) {
        std::vector<std::pair<DWORD, std::vector<BYTE>>> messages = {{kPipeReply | kPipeRequest, WordBytes({0})}};
        for (int n = random() % 5; n > 0; --n) {
            std::vector<BYTE> payload = callbacks[random() % callbacks.size()];
            if (random() % 2)
                payload = Mutate(std::move(payload), random);
            messages.emplace_back(types[random() % std::size(types)], std::move(payload));
        }
        messages.emplace_back(kPipeCallback, WordBytes({3, 0, 0, 0, 0, 0, 0}));
        std::vector<BYTE> result = WordBytes({1603});
        if (random() % 2)
            result = Mutate(std::move(result), random);
        messages.emplace_back(kPipeReply | kPipeRequest, result);

        PipePeer peer([&](const std::wstring& name) {
            CProxyHandler proxy(name.c_str());
            if (proxy.ReadMessage() != 0)
                return;
            for (const auto& [type, payload] : messages)
                proxy.WriteMessage(type, payload.data(), static_cast<DWORD>(payload.size()));
            // Open until the engine closes its end.
            while (proxy.ReadMessage() == 0) {
            }
        });
        OpenTransaction open(peer.Engine());
        if (handler->RunElevated(L"C:\\p\\a.msi", L"", 1, 1, false, L"", 0) == 1603)
            ++completed;
    }
    // Some runs kept to the protocol all the way.
    EXPECT_GT(completed, 0);
}

} // namespace
