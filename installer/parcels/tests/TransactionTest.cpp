// A transaction's run: which parcels act, where the transaction runs, its
// begin and end against a recording msi.dll table or a recording proxy
// connection, the failure of one parcel, and the exceptions of a parcel's run.

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ParcelTestSupport.h"
#include "RecordingModel.h"
#include "kr/bootstrap_exception.h"
#include "kr/reboot_exception.h"
#include "parcels/PipeRecords.h"
#include "parcels/Transaction.h"
#include "parcels/TransactionHost.h"

using namespace parcel_testing;
using testing_support::TraceCapture;

namespace {

// msi.dll's begin and end, recorded; Wine's own are stubs.
struct MsiRecord {
    std::wstring version = L"5.0.7601.0";
    UINT beginResult = 0;
    std::vector<std::wstring> beginNames;
    std::vector<DWORD> ends;
};
MsiRecord* g_msi = nullptr;

UINT WINAPI FakeGetFileVersion(LPCWSTR, LPWSTR version, DWORD* size, LPWSTR, DWORD*)
{
    wcsncpy(version, g_msi->version.c_str(), *size);
    return 0;
}

UINT WINAPI FakeBegin(LPCWSTR name, DWORD, MSIHANDLE_VALUE* transaction, HANDLE* event)
{
    g_msi->beginNames.push_back(name);
    *transaction = 42;
    *event = nullptr;
    return g_msi->beginResult;
}

UINT WINAPI FakeEnd(DWORD state)
{
    g_msi->ends.push_back(state);
    return 0;
}

MsiFunctions FakeMsi(bool realVersion)
{
    MsiFunctions msi;
    msi.GetFileVersionW = realVersion ? SystemMsiFunctions().GetFileVersionW : FakeGetFileVersion;
    msi.BeginTransactionW = FakeBegin;
    msi.EndTransaction = FakeEnd;
    return msi;
}

// Requests as the pipe would carry them, and the proxy's answers in turn (0 once they run out).
class RecordingConnection : public IProxyConnection {
public:
    DWORD SendRequest(DWORD code, DWORD value, const void* data1, DWORD length1, const void* data2,
                      DWORD length2) override
    {
        payloads.push_back(WriteProxyRequest(code, value, PipeBytes(static_cast<const BYTE*>(data1), length1),
                                             PipeBytes(static_cast<const BYTE*>(data2), length2)));
        if (statuses.empty())
            return 0;
        const DWORD status = statuses.front();
        statuses.erase(statuses.begin());
        return status;
    }

    // Each request as its five words.
    std::vector<std::vector<DWORD>> Requests() const
    {
        std::vector<std::vector<DWORD>> words;
        for (const auto& payload : payloads) {
            std::vector<DWORD> request(payload.size() / 4);
            std::memcpy(request.data(), payload.data(), request.size() * 4);
            words.push_back(request);
        }
        return words;
    }

    std::vector<std::vector<BYTE>> payloads;
    std::vector<DWORD> statuses;
};

class RecordingHost : public ITransactionHost {
public:
    RecordingHost() { SetTransactionHost(this); }
    ~RecordingHost() { SetTransactionHost(nullptr); }

    IProxyConnection* GetProxyHandler(bool elevated, bool is64Bit) override
    {
        asked.push_back({elevated, is64Bit});
        return giveProxy ? &connection : nullptr;
    }
    void SetTransactionProxy(IProxyConnection* proxy) override { records.push_back(proxy); }
    IProxyConnection* TransactionProxy() const noexcept override { return records.empty() ? nullptr : records.back(); }

    bool giveProxy = true;
    RecordingConnection connection;
    std::vector<std::pair<bool, bool>> asked;
    std::vector<IProxyConnection*> records;
};

// A handler of any package type: it may allow transactions, target 64-bit
// Windows, or end its run with an exception.
class TransactionHandler : public ScriptedHandler {
public:
    using ScriptedHandler::ScriptedHandler;

    bool SupportsTransaction() override { return supportsTransaction; }
    bool Is64Bit() override { return is64Bit; }
    HRESULT Run() override
    {
        const HRESULT result = ScriptedHandler::Run();
        if (thrower)
            thrower();
        return result;
    }

    bool supportsTransaction = false;
    bool is64Bit = false;
    std::function<void()> thrower;
};

struct TestParcel {
    com::ComPtr<CParcel> parcel;
    TransactionHandler* handler = nullptr;
    std::shared_ptr<HandlerRecord> record = std::make_shared<HandlerRecord>();
};

enum class Kind { MsiLike, Exe };

class TransactionRun : public ::testing::Test {
protected:
    TransactionRun() { g_msi = &msi; }
    ~TransactionRun() override { g_msi = nullptr; }

    // A parcel that will install (or, with acting false, has no action) and succeeds unless told.
    TestParcel& Add(Kind kind, bool acting = true, HRESULT result = S_OK)
    {
        TestParcel& made = parcels.emplace_back();
        CParcel* parcel = nullptr;
        EXPECT_EQ(CParcel::CreateInstance(&parcel), S_OK);
        made.parcel = com::ComPtr<CParcel>::Adopt(parcel);
        made.parcel->SetAttribute(L"Id", (L"P" + std::to_wstring(parcels.size())).c_str());
        auto handler = std::make_unique<TransactionHandler>(*parcel, made.record);
        made.handler = handler.get();
        handler->type = kind == Kind::MsiLike ? eptMsi : eptExe;
        handler->supportsTransaction = kind == Kind::MsiLike;
        handler->detectResult = S_OK;
        handler->detectedAfterRun = episInstalled;
        handler->runResult = result;
        made.parcel->SetHandler(std::move(handler));
        if (acting) {
            made.parcel->AddOperation(MakeOperation(L"Install"));
            made.parcel->ApplyFeatureRequest(1);
            EXPECT_EQ(made.parcel->GetActionState(), episInstalled);
        }
        return made;
    }

    // The group of the parcels, its Windows Installer flag settled as the
    // engine settles it after reading setup.xml.
    CTransaction& Group()
    {
        model.transactions.clear();
        CTransaction& transaction = model.AddTransaction(std::make_unique<CTransaction>(true));
        for (TestParcel& p : parcels)
            transaction.AddParcel(*p.parcel.Get());
        ResolveTransactionModes(model);
        return transaction;
    }

    std::vector<int> Runs() const
    {
        std::vector<int> runs;
        for (const TestParcel& p : parcels)
            runs.push_back(p.record->runs);
        return runs;
    }

    FakeEngineServices engine;
    RecordingHost host;
    MsiRecord msi;
    setupxml_testing::RecordingModel model;
    std::deque<TestParcel> parcels;
};

TEST_F(TransactionRun, NothingActingBeginsNothing)
{
    Add(Kind::MsiLike, false).handler->is64Bit = true;
    Add(Kind::MsiLike, false);
    CTransaction& transaction = Group();
    ASSERT_TRUE(transaction.IsMsiTransaction());

    EXPECT_EQ(transaction.Run(FakeMsi(false)), S_FALSE);
    EXPECT_FALSE(transaction.IsInstalling());
    EXPECT_TRUE(transaction.HasAny64Bit());
    EXPECT_TRUE(msi.beginNames.empty());
    EXPECT_TRUE(host.asked.empty());
    EXPECT_EQ(Runs(), (std::vector<int>{0, 0}));
}

TEST_F(TransactionRun, InProcessBeginAndEnd)
{
    struct Case {
        const char* name;
        std::vector<Kind> kinds;
        std::vector<HRESULT> results;
        std::wstring version;
        UINT beginResult;
        HRESULT expected;
        std::vector<int> runs;
        size_t begins;
        std::vector<DWORD> ends;
        const wchar_t* endLog;
    };
    const Case cases[] = {
        {"all allow it", {Kind::MsiLike, Kind::MsiLike}, {S_OK, S_OK}, L"5.0.7601.0", 0, S_OK, {1, 1}, 1, {1},
         L"End transaction result: 0"},
        {"mixed group", {Kind::MsiLike, Kind::Exe}, {S_OK, S_OK}, L"5.0.7601.0", 0, S_OK, {1, 1}, 0, {},
         L"End transaction result: 1"},
        {"msi.dll 4.0", {Kind::MsiLike, Kind::MsiLike}, {S_OK, S_OK}, L"4.0.2.0", 0, S_OK, {1, 1}, 0, {},
         L"End transaction result: 1"},
        {"msi.dll 4.5", {Kind::MsiLike}, {S_OK}, L"4.5.0.0", 0, S_OK, {1}, 1, {1}, L"End transaction result: 0"},
        {"begin fails", {Kind::MsiLike, Kind::MsiLike}, {S_OK, S_OK}, L"5.0.7601.0", 1603,
         static_cast<HRESULT>(0x80070643), {0, 0}, 1, {}, nullptr},
        {"second of three fails", {Kind::MsiLike, Kind::MsiLike, Kind::MsiLike}, {S_OK, E_FAIL, S_OK},
         L"5.0.7601.0", 0, E_FAIL, {1, 1, 0}, 1, {0}, L"End transaction result: 0"},
        {"second of three fails, no transaction", {Kind::Exe, Kind::Exe, Kind::Exe}, {S_OK, E_FAIL, S_OK},
         L"5.0.7601.0", 0, E_FAIL, {1, 1, 0}, 0, {}, L"End transaction result: 1"},
        {"last parcel's status", {Kind::MsiLike, Kind::MsiLike}, {S_OK, S_FALSE}, L"5.0.7601.0", 0, S_FALSE, {1, 1}, 1, {1}, L"End transaction result: 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        parcels.clear();
        msi = MsiRecord();
        msi.version = c.version;
        msi.beginResult = c.beginResult;
        for (size_t i = 0; i < c.kinds.size(); ++i)
            Add(c.kinds[i], true, c.results[i]);
        CTransaction& transaction = Group();
        TraceCapture trace;

        EXPECT_EQ(transaction.Run(FakeMsi(false)), c.expected);
        EXPECT_EQ(Runs(), c.runs);
        EXPECT_EQ(msi.beginNames.size(), c.begins);
        EXPECT_EQ(msi.ends, c.ends);
        EXPECT_TRUE(host.asked.empty());
        const std::wstring log = trace.Messages();
        EXPECT_NE(log.find(L"Running with current process transaction"), std::wstring::npos);
        if (c.endLog) {
            EXPECT_NE(log.find(c.endLog), std::wstring::npos) << log;
            const bool failed = std::find(c.results.begin(), c.results.end(), E_FAIL) != c.results.end();
            EXPECT_NE(log.find(failed ? L"will roll back transaction" : L"will commit transaction"),
                      std::wstring::npos);
        } else {
            EXPECT_EQ(log.find(L"Running transaction parcels"), std::wstring::npos);
        }
    }
}

TEST_F(TransactionRun, BeginNameIsKrAndAGuid)
{
    Add(Kind::MsiLike);
    EXPECT_EQ(Group().Run(FakeMsi(false)), S_OK);
    ASSERT_EQ(msi.beginNames.size(), 1u);
    const std::wstring& name = msi.beginNames[0];
    ASSERT_EQ(name.size(), 3u + 38u) << name;
    EXPECT_EQ(name.substr(0, 4), L"KR_{");
    EXPECT_EQ(name.back(), L'}');
    GUID guid = {};
    EXPECT_EQ(CLSIDFromString(name.substr(3).c_str(), &guid), S_OK) << name;
    for (wchar_t ch : name.substr(3))
        EXPECT_FALSE(ch >= L'a' && ch <= L'f') << name;
}

// The version check on this machine's own msi.dll (4.5 or later on every
// system the launcher supports): the transaction is begun.
TEST_F(TransactionRun, SystemMsiVersionAllowsTransaction)
{
    ASSERT_NE(SystemMsiFunctions().GetFileVersionW, nullptr);
    Add(Kind::MsiLike);
    EXPECT_EQ(Group().Run(FakeMsi(true)), S_OK);
    EXPECT_EQ(msi.beginNames.size(), 1u);
    EXPECT_EQ(msi.ends, std::vector<DWORD>{1});
}

TEST_F(TransactionRun, SharedParcelWithoutActionWritesClients)
{
    struct Case {
        const char* name;
        Kind kind;
        bool outOfProcess;
        HRESULT expected;
    };
    const Case cases[] = {
        {"in process without a transaction", Kind::Exe, false, S_FALSE},
        {"in process inside a transaction", Kind::MsiLike, false, S_OK},
        {"out of process", Kind::Exe, true, S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        parcels.clear();
        msi = MsiRecord();
        host.connection.payloads.clear();
        TestParcel& shared = Add(c.kind, false);
        shared.parcel->SetAttribute(L"Shared", L"yes");
        shared.handler->is64Bit = c.outOfProcess;
        engine.storedClients.clear();
        CTransaction& transaction = Group();
        TraceCapture trace;

        EXPECT_EQ(transaction.Run(FakeMsi(false)), c.expected);
        EXPECT_TRUE(transaction.IsInstalling());
        EXPECT_EQ(shared.record->runs, 0);
        EXPECT_EQ(engine.storedClients.count(L"P1"), 1u);
        EXPECT_NE(trace.Messages().find(L"Skipping parcel with no action"), std::wstring::npos);
        EXPECT_EQ(host.connection.payloads.size(), c.outOfProcess ? 2u : 0u);
    }
}

// A failing parcel writes no clients; the ones before it do.
TEST_F(TransactionRun, ClientsWrittenOnlyAfterSuccess)
{
    Add(Kind::Exe).parcel->SetAttribute(L"Shared", L"yes");
    Add(Kind::Exe, true, E_FAIL).parcel->SetAttribute(L"Shared", L"yes");
    EXPECT_EQ(Group().Run(FakeMsi(false)), E_FAIL);
    EXPECT_EQ(engine.storedClients.count(L"P1"), 1u);
    EXPECT_EQ(engine.storedClients.count(L"P2"), 0u);
}

TEST_F(TransactionRun, OutOfProcessRequests)
{
    using Words = std::vector<DWORD>;
    struct Case {
        const char* name;
        std::vector<Kind> kinds;
        std::vector<HRESULT> results;
        bool elevationRequired; // the launcher is not elevated
        bool is64Bit;
        std::vector<DWORD> statuses;
        HRESULT expected;
        std::vector<int> runs;
        std::vector<Words> requests;
        const wchar_t* endLog;
    };
    const Case cases[] = {
        {"64-bit, all allow it", {Kind::MsiLike, Kind::MsiLike}, {S_OK, S_OK}, false, true, {}, S_OK, {1, 1},
         {{3, 1, 0, 0, 0}, {4, 1, 0, 0, 0}}, L"End proxy transaction result: 0"},
        {"elevated, mixed", {Kind::MsiLike, Kind::Exe}, {S_OK, S_OK}, true, false, {}, S_OK, {1, 1},
         {{3, 0, 0, 0, 0}, {4, 1, 0, 0, 0}}, L"End proxy transaction result: 0"},
        {"begin refused", {Kind::MsiLike}, {S_OK}, false, true, {5}, static_cast<HRESULT>(0x80070005), {0},
         {{3, 1, 0, 0, 0}}, nullptr},
        {"begin refused with an HRESULT", {Kind::MsiLike}, {S_OK}, false, true, {0x80004005}, E_FAIL, {0},
         {{3, 1, 0, 0, 0}}, nullptr},
        {"second of three fails", {Kind::Exe, Kind::Exe, Kind::Exe}, {S_OK, E_FAIL, S_OK}, true, true, {}, E_FAIL,
         {1, 1, 0}, {{3, 0, 0, 0, 0}, {4, 0, 0, 0, 0}}, L"End proxy transaction result: 0"},
        {"end refused is only logged", {Kind::Exe}, {S_OK}, false, true, {0, 1603}, S_OK, {1},
         {{3, 0, 0, 0, 0}, {4, 1, 0, 0, 0}}, L"End proxy transaction result: 80070643"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        parcels.clear();
        msi = MsiRecord();
        host.connection = RecordingConnection();
        host.connection.statuses = c.statuses;
        host.asked.clear();
        host.records.clear();
        engine.elevated = !c.elevationRequired;
        for (size_t i = 0; i < c.kinds.size(); ++i) {
            TestParcel& p = Add(c.kinds[i], true, c.results[i]);
            p.handler->is64Bit = c.is64Bit;
            if (c.elevationRequired)
                p.parcel->SetAttribute(L"Elevation", L"required");
        }
        CTransaction& transaction = Group();
        TraceCapture trace;

        EXPECT_EQ(transaction.Run(FakeMsi(false)), c.expected);
        EXPECT_EQ(host.asked, (std::vector<std::pair<bool, bool>>{{c.elevationRequired, c.is64Bit}}));
        EXPECT_EQ(Runs(), c.runs);
        EXPECT_EQ(host.connection.Requests(), c.requests);
        for (const auto& payload : host.connection.payloads)
            EXPECT_EQ(payload.size(), 20u);
        EXPECT_TRUE(msi.beginNames.empty());
        // The record holds the connection while the transaction is open, and is cleared when it ends.
        ASSERT_EQ(host.records.size(), 2u);
        EXPECT_EQ(host.records[0], &host.connection);
        EXPECT_EQ(host.records[1], nullptr);
        const std::wstring log = trace.Messages();
        EXPECT_NE(log.find(L"Running with out-proc transaction"), std::wstring::npos);
        if (c.endLog) {
            EXPECT_NE(log.find(c.endLog), std::wstring::npos) << log;
        }
    }
}

// Without a proxy for the combination the parcels run in this process.
TEST_F(TransactionRun, NoProxyRunsInProcess)
{
    host.giveProxy = false;
    Add(Kind::MsiLike).handler->is64Bit = true;
    EXPECT_EQ(Group().Run(FakeMsi(false)), S_OK);
    EXPECT_EQ(host.asked.size(), 1u);
    EXPECT_TRUE(host.records.empty());
    EXPECT_EQ(msi.beginNames.size(), 1u);
    EXPECT_EQ(msi.ends, std::vector<DWORD>{1});
}

TEST_F(TransactionRun, ExceptionRollsBackAndPasses)
{
    struct Thrown {
        const char* name;
        std::function<void()> thrower;
    };
    const Thrown kinds[] = {
        {"reboot", [] { throw reboot_exception(true); }},
        {"event failure", [] { throw parcel_event_failure_exception(E_FAIL); }},
        {"install failure", [] { throw parcel_install_failure_exception(E_ABORT, nullptr); }},
    };
    for (const Thrown& kind : kinds) {
        for (bool outOfProcess : {false, true}) {
            SCOPED_TRACE(testing::Message() << kind.name << (outOfProcess ? ", out of process" : ", in process"));
            parcels.clear();
            msi = MsiRecord();
            host.connection = RecordingConnection();
            host.records.clear();
            Add(Kind::MsiLike).handler->is64Bit = outOfProcess;
            Add(Kind::MsiLike).handler->thrower = kind.thrower;
            Add(Kind::MsiLike);
            CTransaction& transaction = Group();

            bool passed = false;
            try {
                transaction.Run(FakeMsi(false));
            } catch (const reboot_exception&) {
                passed = true;
            } catch (const bootstrap_exception&) {
                passed = true;
            }
            EXPECT_TRUE(passed);
            EXPECT_EQ(Runs(), (std::vector<int>{1, 1, 0}));
            if (outOfProcess) {
                EXPECT_EQ(host.connection.Requests(),
                          (std::vector<std::vector<DWORD>>{{3, 1, 0, 0, 0}, {4, 0, 0, 0, 0}}));
                ASSERT_EQ(host.records.size(), 2u);
                EXPECT_EQ(host.records[1], nullptr);
                EXPECT_TRUE(msi.ends.empty());
            } else {
                EXPECT_EQ(msi.ends, std::vector<DWORD>{0});
                EXPECT_TRUE(host.connection.payloads.empty());
            }
        }
    }
}

TEST_F(TransactionRun, NeedsElevation)
{
    struct Case {
        const char* name;
        bool launcherElevated;
        bool acting;
        bool required;
        bool expected;
    };
    const Case cases[] = {
        {"acting, required, not elevated", false, true, true, true},
        {"acting, required, elevated", true, true, true, false},
        {"no action", false, false, true, false},
        {"not required", false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        parcels.clear();
        engine.elevated = c.launcherElevated;
        TestParcel& p = Add(Kind::Exe, c.acting);
        if (c.required)
            p.parcel->SetAttribute(L"Elevation", L"required");
        CTransaction& transaction = Group();
        EXPECT_EQ(transaction.NeedsElevation(), c.expected);
        // Examine looks at elevation whatever the action state.
        transaction.Examine();
        EXPECT_EQ(transaction.IsElevationNeeded(), c.required && !c.launcherElevated);
    }
}

} // namespace
