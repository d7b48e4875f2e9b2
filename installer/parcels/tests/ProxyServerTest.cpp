// CProxyServer in the test's process on a real pipe, with recorders in place
// of the machine: records that do not fit their message, the transaction
// requests against a recording msi.dll table, and what the handlers hand to
// the machine.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "ProxyServerHarness.h"

namespace {

constexpr DWORD kReply = 0x80000001;

void Patch(std::vector<BYTE>& bytes, size_t offset, DWORD value)
{
    std::memcpy(bytes.data() + offset, &value, 4);
}

class ProxyServer : public ::testing::Test {
protected:
    void SetUp() override { MsiCalls().clear(); }

    // The next request's reply is its own: nothing was left over.
    void ExpectStillServing()
    {
        const std::vector<Message> probe = harness_.Request(6, 0);
        ASSERT_EQ(probe.size(), 1u);
        EXPECT_EQ(probe[0].Word(), harness_.server().Transaction() ? harness_.server().Transaction()->Handle()
                                                                   : 0xFFFFFFFFu);
    }

    ServerOnPipe harness_;
};

// Each record with every length (and ARP text offset) set one byte past the
// record's end, and to 0xFFFFFFFF: one reply {87}, nothing done.
TEST_F(ProxyServer, RecordsThatDoNotFitTheirMessageAreRefusedAndNothingRuns)
{
    struct Record {
        const char* what;
        DWORD code;
        DWORD value;
        bool in_data1;
        std::vector<BYTE> record; // with empty texts
        size_t texts_at;
        std::vector<size_t> length_words;
    };
    std::vector<size_t> arp_words;
    for (size_t i = 0; i < 32; ++i)
        arp_words.push_back(24 + 4 * i);
    const Record records[] = {
        {"MsiCommandData", 2, 0, false, WriteMsiCommandData({}), 12, {4, 8}},
        {"ArpRecord", 8, 0, true, WriteArpRecord({}), 152, arp_words},
        {"ClrCallData", 12, 2, false, WriteClrCallData({}), 16, {4, 8, 12}},
        {"QuillexCallData", 14, 0, false, WriteQuillexCallData({1, L"", L""}), 12, {4, 8}},
        {"ExeLaunchData", 15, 0, false, WriteExeLaunchData({}), 16, {8, 12}},
        {"WebDeployCallData", 16, 0, false, WriteWebDeployCallData({}), 8, {0, 4}},
        {"RegistryRecord", 17, 1, true, WriteRegistryRecord({}), 24, {12, 16, 20}},
    };
    for (const Record& r : records) {
        for (size_t at : r.length_words) {
            for (DWORD length : {static_cast<DWORD>(r.record.size() - r.texts_at + 1), 0xFFFFFFFFul}) {
                SCOPED_TRACE(std::string(r.what) + " word at " + std::to_string(at) + " = " + std::to_string(length));
                std::vector<BYTE> record = r.record;
                Patch(record, at, length);
                const std::vector<BYTE> path = TextBytes(L"{00000000-0000-0000-0000-000000000000}");
                const std::vector<Message> replies = r.in_data1 ? harness_.Request(r.code, r.value, record)
                                                                : harness_.Request(r.code, r.value, path, record);
                ASSERT_EQ(replies.size(), 1u);
                EXPECT_EQ(replies[0].type, kReply);
                EXPECT_EQ(replies[0].Word(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
                EXPECT_TRUE(harness_.system().calls.empty());
                ExpectStillServing();
            }
        }
    }

    // The request's own lengths, and the words of requests 7 and 11.
    const std::vector<BYTE> data = TextBytes(L"abcd");
    for (size_t at : {8u, 12u}) {
        // One byte past the 12 bytes that data1 (8) and data2 (0) may share.
        const DWORD one_past = at == 8 ? 13 : 5;
        for (DWORD length : {one_past, 0xFFFFFFFFul, 0xFFFFFFF0ul}) {
            std::vector<BYTE> request = WriteProxyRequest(17, 1, data, {});
            Patch(request, at, length);
            const std::vector<Message> replies = harness_.Exchange(kPipeRequest, request);
            ASSERT_EQ(replies.size(), 1u);
            EXPECT_EQ(replies[0].Word(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        }
    }
    for (const auto& [code, data1, data2] : {std::tuple{7u, std::vector<BYTE>{0, 0, 0}, std::vector<BYTE>{}},
                                             std::tuple{11u, TextBytes(L"c.cer"), std::vector<BYTE>{5, 0, 0}}}) {
        const std::vector<Message> replies = harness_.Request(code, 0, data1, data2);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].Word(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << code;
    }
    EXPECT_TRUE(harness_.system().calls.empty());
    EXPECT_TRUE(MsiCalls().empty());
    ExpectStillServing();
}

bool IsTransactionName(const std::wstring& text)
{
    // "KR_{8-4-4-4-12}" in upper-case hex.
    if (text.size() != 41 || text.compare(0, 4, L"KR_{") != 0 || text[40] != L'}')
        return false;
    for (size_t i = 4; i < 40; ++i) {
        const bool dash = i == 12 || i == 17 || i == 22 || i == 27;
        if (dash != (text[i] == L'-') || (!dash && !iswxdigit(text[i])) || iswlower(text[i]))
            return false;
    }
    return true;
}

TEST_F(ProxyServer, TransactionsBeginAndEndThroughMsi)
{
    EXPECT_EQ(harness_.Request(3, 1)[0].Word(), 0u);
    EXPECT_EQ(harness_.Request(6, 0)[0].Word(), 0x1234u);
    EXPECT_EQ(harness_.Request(4, 0)[0].Word(), 0u);
    ASSERT_EQ(MsiCalls().size(), 2u);
    EXPECT_EQ(MsiCalls()[0].substr(0, 6), L"begin ");
    EXPECT_TRUE(IsTransactionName(MsiCalls()[0].substr(6, 41))) << MsiCalls()[0];
    EXPECT_EQ(MsiCalls()[0].substr(47), L" 0");
    EXPECT_EQ(MsiCalls()[1], L"end 0");
    EXPECT_EQ(harness_.Request(6, 0)[0].Word(), 0xFFFFFFFFu);

    // A second begin rolls the open one back first; the commit ends the second.
    MsiCalls().clear();
    harness_.Request(3, 1);
    harness_.Request(3, 1);
    harness_.Request(4, 1);
    ASSERT_EQ(MsiCalls().size(), 4u);
    EXPECT_EQ(MsiCalls()[1], L"end 0");
    EXPECT_NE(MsiCalls()[0], MsiCalls()[2]) << "each begin has a name of its own";
    EXPECT_EQ(MsiCalls()[3], L"end 1");

    // Without an MSI transaction nothing reaches msi; a join always answers 0.
    MsiCalls().clear();
    EXPECT_EQ(harness_.Request(3, 0)[0].Word(), 0u);
    EXPECT_EQ(harness_.Request(6, 0)[0].Word(), 0u);
    EXPECT_EQ(harness_.Request(4, 1)[0].Word(), 0u);
    EXPECT_EQ(harness_.Request(5, 77)[0].Word(), 0u);
    EXPECT_EQ(MsiCalls(), std::vector<std::wstring>{L"join 77 1"});
}

TEST_F(ProxyServer, RegistryRequestsReachTheMachineWithTheAccessAskedFor)
{
    RegistryRecord set;
    set.type = REG_SZ;
    set.flags = 2;
    set.key_path = L"Software\\Kr\\Parcel";
    set.value_name = L"Client";
    set.data = TextBytes(std::wstring(L"x", 2));
    RegistryRecord wide = set;
    wide.flags = 1;
    RegistryRecord remove;
    remove.key_path = L"Software\\Kr\\Parcel";
    RegistryRecord other_root = remove;
    other_root.root = 0x1234; // a handle number of the engine's process means nothing here
    const struct {
        DWORD value;
        RegistryRecord record;
        DWORD status;
        const wchar_t* call;
    } cases[] = {
        {1, set, 0, L"set Software\\Kr\\Parcel|Client|131103|1|1|4"},
        {1, wide, 0, L"set Software\\Kr\\Parcel|Client|131359|0|1|4"},
        {2, remove, 0, L"delete Software\\Kr|Parcel|131103"},
        {2, other_root, ERROR_INVALID_PARAMETER, nullptr},
        {3, remove, ERROR_NOT_SUPPORTED, nullptr},
    };
    for (const auto& c : cases) {
        harness_.system().calls.clear();
        const std::vector<Message> replies = harness_.Request(17, c.value, WriteRegistryRecord(c.record));
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies[0].Word(), c.status);
        EXPECT_EQ(harness_.system().calls, c.call ? std::vector<std::wstring>{c.call} : std::vector<std::wstring>{});
    }
    harness_.system().calls.clear();
    EXPECT_EQ(harness_.Request(17, 1)[0].Word(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(harness_.system().calls.empty());
}

TEST_F(ProxyServer, LongRequestsAcceptBeforeTheWorkAndCloseWithTheirCallBack)
{
    // A product code is taken without a file test; the work object is not there yet.
    const std::vector<Message> msi = harness_.Request(2, 2, TextBytes(L"{12345678-ABCD-ABCD-ABCD-1234567890AB}"),
                                                      WriteMsiCommandData({}));
    ASSERT_EQ(msi.size(), 3u);
    EXPECT_EQ(msi[0].payload, WordBytes({0}));
    EXPECT_EQ(msi[1].type, kPipeCallback);
    EXPECT_EQ(msi[1].payload, WordBytes({3, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(msi[2].Word(), static_cast<DWORD>(E_NOTIMPL));

    // A waited program: acceptance, call-back {2, 0}, its exit code; started in its own folder.
    const std::vector<Message> exe =
        harness_.Request(15, 0, TextBytes(L"C:\\dir\\setup.exe"), WriteExeLaunchData({5, 1, L"/q", L"runas"}));
    ASSERT_EQ(exe.size(), 3u);
    EXPECT_EQ(exe[0].payload, WordBytes({0}));
    EXPECT_EQ(exe[1].payload, WordBytes({2, 0}));
    EXPECT_EQ(exe[2].Word(), 3010u);
    EXPECT_EQ(harness_.system().calls, (std::vector<std::wstring>{L"start C:\\dir\\setup.exe|/q|C:\\dir", L"wait"}));

    // Refused before the work: the load's and the look-up's errors alone.
    harness_.system().calls.clear();
    for (DWORD value : {0u, 2u, 4u}) {
        const std::vector<BYTE> data2 = value == 2 ? WriteClrCallData({L"f", L"n", L"a"}) : TextBytes(L"Entry");
        const std::vector<Message> ext = harness_.Request(12, value, TextBytes(L"x.dll"), data2);
        ASSERT_EQ(ext.size(), 1u);
        EXPECT_EQ(ext[0].Word(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    }
    const std::vector<Message> web = harness_.Request(16, 0, TextBytes(L"Halvecall.dll"), WriteWebDeployCallData({}));
    ASSERT_EQ(web.size(), 1u);
    EXPECT_EQ(web[0].Word(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    const std::vector<Message> script = harness_.Request(14, 0, TextBytes(L"C:\\stage"), WriteQuillexCallData({}));
    ASSERT_EQ(script.size(), 1u);
    EXPECT_EQ(harness_.system().calls.back(), L"load C:\\stage\\REViziz.dll");
}

HRESULT WINAPI ReturningEntry(IDispatch*)
{
    return 0x00001234;
}

HRESULT WINAPI FaultingEntry(IDispatch*)
{
    *static_cast<volatile int*>(nullptr) = 1;
    return S_OK;
}

HRESULT WINAPI RaisingEntry(IDispatch*, BSTR, BSTR)
{
    RaiseException(0xE0001234, 0, 0, nullptr);
    return S_OK;
}

// Extension entries run after the acceptance reply, under the guard: an
// exception inside one becomes the request's result and the proxy goes on.
TEST_F(ProxyServer, ExtensionEntriesRunUnderTheGuard)
{
    harness_.system().module = GetModuleHandleW(nullptr);
    harness_.workers().offer_extension = true;
    const struct {
        DWORD code;
        DWORD value;
        FARPROC entry;
        std::vector<BYTE> data2;
        DWORD result;
        size_t messages;
        const wchar_t* entry_name;
    } cases[] = {
        {12, 1, reinterpret_cast<FARPROC>(&ReturningEntry), TextBytes(L"Entry"), 0x1234, 2, L"entry Entry"},
        {12, 0, reinterpret_cast<FARPROC>(&FaultingEntry), TextBytes(L"Entry"), EXCEPTION_ACCESS_VIOLATION, 2,
         L"entry Entry"},
        {16, 0, reinterpret_cast<FARPROC>(&RaisingEntry), WriteWebDeployCallData({L"a", L"b"}), 0xE0001234, 3,
         L"entry _SuiteWebDeployEntry@12"},
    };
    for (const auto& c : cases) {
        harness_.system().calls.clear();
        harness_.system().entry = c.entry;
        const std::vector<Message> replies = harness_.Request(c.code, c.value, TextBytes(L"ext.dll"), c.data2);
        ASSERT_EQ(replies.size(), c.messages);
        EXPECT_EQ(replies[0].payload, WordBytes({0})) << "acceptance first";
        if (c.code == 16) {
            EXPECT_EQ(replies[1].type, kPipeCallback);
            EXPECT_EQ(replies[1].payload, WordBytes({1, 0, 0, 0, 0}));
        }
        EXPECT_EQ(replies.back().Word(), c.result);
        EXPECT_EQ(harness_.system().calls, (std::vector<std::wstring>{L"load ext.dll", c.entry_name, L"free"}));
        ExpectStillServing();
    }
    EXPECT_EQ(harness_.workers().parcel_flags, (std::vector<bool>{true, false, false}));
}

TEST_F(ProxyServer, OtherMessagesGetTheirReplyTypeAndQuitEndsTheLoop)
{
    const std::vector<Message> hello = harness_.Exchange(kPipeHello, WordBytes({42}));
    ASSERT_EQ(hello.size(), 1u);
    EXPECT_EQ(hello[0].type, 0x80000003u);
    EXPECT_EQ(hello[0].payload, WordBytes({0}));
    const std::vector<Message> stray = harness_.Exchange(0x80000002, WordBytes({1, 2, 3}));
    ASSERT_EQ(stray.size(), 1u);
    EXPECT_EQ(stray[0].type, 0x80000002u);
    EXPECT_FALSE(harness_.server().QuitRequested());
    harness_.server().SetStatus(233);
    EXPECT_TRUE(harness_.Exchange(kPipeQuit, {}).empty());
    EXPECT_TRUE(harness_.server().QuitRequested());
    EXPECT_EQ(harness_.server().Status(), 0u);
}

} // namespace
