// Tessarel.exe in proxy mode as a real process, with this test playing the
// engine through the engine's own end of the pipe: the hello, each request
// code's replies, acceptance replies and call-backs, and quit.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "LauncherProcess.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyHandler.h"

namespace {

constexpr DWORD kReply = 0x80000001;
constexpr DWORD kCallback = 2;

std::vector<BYTE> Bytes(const std::wstring& text)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(p, p + text.size() * 2);
}

std::vector<BYTE> Words(std::initializer_list<DWORD> words)
{
    std::vector<BYTE> bytes;
    for (DWORD word : words) {
        const BYTE* p = reinterpret_cast<const BYTE*>(&word);
        bytes.insert(bytes.end(), p, p + 4);
    }
    return bytes;
}

std::vector<BYTE> Registry(DWORD flags, const std::wstring& key, const std::wstring& name = L"",
                           const std::wstring& data = L"")
{
    RegistryRecord record;
    record.type = data.empty() ? 0 : REG_SZ;
    record.flags = flags;
    record.key_path = key.c_str();
    record.value_name = name.c_str();
    record.data = Bytes(data + std::wstring(1, L'\0'));
    if (data.empty())
        record.data.clear();
    return WriteRegistryRecord(record);
}

bool KeyExists(const std::wstring& path, REGSAM view = 0)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::wstring ValueOf(const std::wstring& path, const std::wstring& name, REGSAM view = 0)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return L"<no key>";
    wchar_t text[128] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    const LONG read = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? text : L"<no value>";
}

void MakeKey(const std::wstring& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class ProxyProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files_.ready());
        static int run = 0;
        const std::wstring id = L"{KR-PROXY-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++run) + L"}";
        started_ = CreateEventW(nullptr, TRUE, FALSE, (L"KR_ProxyWaiter_" + id).c_str());
        const HANDLE pipe = CreateNamedPipeW((L"\\\\.\\pipe\\KREngine_" + id).c_str(), PIPE_ACCESS_DUPLEX,
                                             PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        std::wstring command_line = L"\"" + files_.setup() + L"\" -KR_temp -embedded:" + id;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &info));
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        HANDLE engine_copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), process_, GetCurrentProcess(), &engine_copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS);
        engine_ = std::make_unique<CProxyHandler>(pipe, engine_copy);
        ASSERT_EQ(WaitForSingleObject(started_, 20000), WAIT_OBJECT_0);
        ASSERT_EQ(engine_->WaitForConnection(), 0u);
        ASSERT_EQ(engine_->Handshake(), 0u);
        ASSERT_EQ(engine_->Type(), 0x80000003u);
    }

    void TearDown() override
    {
        engine_.reset(); // sends quit and waits for the process
        if (process_) {
            if (WaitForSingleObject(process_, 20000) != WAIT_OBJECT_0)
                TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
        if (started_)
            CloseHandle(started_);
    }

    DWORD Send(DWORD code, DWORD value, const std::vector<BYTE>& data1 = {}, const std::vector<BYTE>& data2 = {})
    {
        return engine_->SendRequest(code, value, data1.data(), static_cast<DWORD>(data1.size()), data2.data(),
                                    static_cast<DWORD>(data2.size()));
    }

    // The type and first word of the next message.
    std::pair<DWORD, DWORD> Next()
    {
        const std::optional<PipeBytes> payload = engine_->ReadReply();
        DWORD word = 0xFFFFFFFF;
        if (!payload || !ReadWord(*payload, word))
            return {engine_->Type(), 0xFFFFFFFF};
        return {engine_->Type(), word};
    }

    // Nothing more came after the last reply: the next request's reply is its own.
    void ExpectServingWithNothingPending()
    {
        EXPECT_EQ(Send(6, 0), 0xFFFFFFFFu) << "a further message was pending";
    }

    DWORD ExitCode()
    {
        engine_.reset();
        DWORD code = ~0u;
        if (WaitForSingleObject(process_, 20000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_, &code);
        return code;
    }

    SetupFolder files_{TESSAREL_EXE};
    std::wstring standin_ = ProgramFolder() + L"launcher_exit_standin.exe";
    HANDLE started_ = nullptr;
    HANDLE process_ = nullptr;
    std::unique_ptr<CProxyHandler> engine_;
};

TEST_F(ProxyProcess, RequestsAnsweredWithASingleStatus)
{
    const std::vector<BYTE> no_switch = Bytes(L"/quiet -krengine:\"C:\\x\"");
    const struct {
        const char* what;
        DWORD code;
        DWORD value;
        std::vector<BYTE> data1;
        std::vector<BYTE> data2;
        DWORD status;
    } cases[] = {
        {"extension call-back", 9, 0, {}, {}, ERROR_NOT_SUPPORTED},
        {"parcel call-back", 13, 0, {}, {}, ERROR_NOT_SUPPORTED},
        {"code above the table", 18, 0, {}, {}, ERROR_NOT_SUPPORTED},
        {"end without begin", 4, 0, {}, {}, 0},
        {"missing package", 2, 2, Bytes(L"C:\\no such folder\\p.msi"), WriteMsiCommandData({}), ERROR_FILE_NOT_FOUND},
        {"no engine switch", 10, 0, Bytes(L"C:\\setup.krp"), no_switch, static_cast<DWORD>(E_INVALIDARG)},
        {"app package operation 4", 11, 0, Bytes(L"Name"), Words({4, 0}), ERROR_NOT_SUPPORTED},
        {"app package without data", 11, 0, {}, {}, ERROR_INVALID_PARAMETER},
        {"DLL that does not load", 12, 0, Bytes(L"C:\\no such folder\\x.dll"), Bytes(L"Entry"), ERROR_MOD_NOT_FOUND},
        {"missing entry", 12, 0, Bytes(L"kernel32.dll"), Bytes(L"NoSuchEntryHere"), ERROR_PROC_NOT_FOUND},
        {"registry value 3", 17, 3, Registry(0, L"Software\\KrProxyTest"), {}, ERROR_NOT_SUPPORTED},
        {"missing program", 15, 0, Bytes(L"C:\\no such folder\\x.exe"), WriteExeLaunchData({1, 1, L"", L""}),
         ERROR_FILE_NOT_FOUND},
        {"program not waited for", 15, 0, Bytes(standin_), WriteExeLaunchData({1, 0, L"7", L""}), 0},
        {"request 1 not waiting", 1, 1, Bytes(standin_), Bytes(L"7"), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Send(c.code, c.value, c.data1, c.data2), c.status);
        EXPECT_EQ(engine_->Type(), kReply);
        ExpectServingWithNothingPending();
    }

    // A request message without payload.
    ASSERT_EQ(engine_->WriteMessage(1, nullptr, 0), 0u);
    EXPECT_EQ(Next(), (std::pair<DWORD, DWORD>{kReply, ERROR_PIPE_NOT_CONNECTED}));
    ExpectServingWithNothingPending();
}

TEST_F(ProxyProcess, WaitedProgramGivesAcceptanceCallbackAndItsExitCode)
{
    for (DWORD code : {15u, 1u}) {
        SCOPED_TRACE(code);
        const std::vector<BYTE> data2 = code == 15 ? WriteExeLaunchData({1, 1, L"3010", L"runas"}) : Bytes(L"3010");
        EXPECT_EQ(Send(code, 0, Bytes(standin_), data2), 0u);
        EXPECT_EQ(engine_->Type(), kReply);
        const std::optional<PipeBytes> callback = engine_->ReadReply();
        ASSERT_TRUE(callback);
        EXPECT_EQ(engine_->Type(), kCallback);
        EXPECT_EQ(std::vector<BYTE>(callback->begin(), callback->end()), Words({2, 0}));
        EXPECT_EQ(Next(), (std::pair<DWORD, DWORD>{kReply, 3010u}));
        ExpectServingWithNothingPending();
    }
}

// Through the system's msi.dll, whose transaction calls succeed under Wine.
TEST_F(ProxyProcess, ATransactionIsHeldFromBeginToEnd)
{
    EXPECT_EQ(Send(3, 1), 0u);
    // msi.dll handed out a handle: its version passed the check and the begin went through.
    const DWORD handle = Send(6, 0);
    EXPECT_NE(handle, 0u);
    EXPECT_NE(handle, 0xFFFFFFFFu);
    EXPECT_EQ(Send(4, 1), 0u);
    EXPECT_EQ(Send(6, 0), 0xFFFFFFFFu);
}

TEST_F(ProxyProcess, FolderRepliesEndInABackslash)
{
    for (DWORD selector : {0u, 1u, 2u}) {
        SCOPED_TRACE(selector);
        EXPECT_EQ(Send(7, 0, Words({selector})), 0u);
        _stringx path;
        ASSERT_TRUE(ReadFolderReply(engine_->Payload(), path));
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path[path.size() - 1], L'\\');
        EXPECT_EQ(path.size() == 1, selector == 2) << path.c_str();
        EXPECT_EQ(engine_->Size(), path.size() * 2 + 12);
    }
    ExpectServingWithNothingPending();
}

TEST_F(ProxyProcess, RegistrySetCreatesOnlyWhenAskedAndInTheViewAskedFor)
{
    const std::wstring base = L"Software\\KrProxyTest" + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(Send(17, 1, Registry(0, base + L"\\Missing", L"V", L"x")), 2u);
    EXPECT_FALSE(KeyExists(base + L"\\Missing"));

    EXPECT_EQ(Send(17, 1, Registry(2, base + L"\\Made", L"V", L"made")), 0u);
    EXPECT_EQ(ValueOf(base + L"\\Made", L"V"), L"made");
    EXPECT_EQ(Send(17, 1, Registry(3, base + L"\\Wide", L"V", L"wide")), 0u);
    EXPECT_EQ(ValueOf(base + L"\\Wide", L"V", KEY_WOW64_64KEY), L"wide");

    EXPECT_EQ(Send(17, 2, Registry(0, base + L"\\Made")), 0u);
    EXPECT_EQ(Send(17, 2, Registry(1, base + L"\\Wide")), 0u);
    EXPECT_FALSE(KeyExists(base + L"\\Made"));
    EXPECT_FALSE(KeyExists(base + L"\\Wide", KEY_WOW64_64KEY));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, base.c_str());
}

TEST_F(ProxyProcess, RegistryDeleteTakesTheTreeAndRefusesPathsWithoutALastComponent)
{
    const std::wstring base = L"Software\\KrProxyTest" + std::to_wstring(GetCurrentProcessId());
    MakeKey(base + L"\\Tree\\A\\Deep");
    MakeKey(base + L"\\Tree\\B");
    MakeKey(base + L"\\Sibling");

    for (const std::wstring& refused : {base + L"\\", std::wstring(L"Software\\KrProxyTest\\"),
                                        std::wstring(L"KrProxyTest"), std::wstring(L"\\Sibling"), std::wstring()}) {
        SCOPED_TRACE(std::string(refused.begin(), refused.end()));
        EXPECT_EQ(Send(17, 2, Registry(0, refused)), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_TRUE(KeyExists(base + L"\\Tree\\A\\Deep"));
    EXPECT_TRUE(KeyExists(base + L"\\Sibling"));

    EXPECT_EQ(Send(17, 2, Registry(0, base + L"\\Tree")), 0u);
    EXPECT_FALSE(KeyExists(base + L"\\Tree"));
    EXPECT_TRUE(KeyExists(base + L"\\Sibling"));
    EXPECT_TRUE(KeyExists(base));
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, base.c_str());
}

TEST_F(ProxyProcess, QuitEndsWithZeroAndAPipeCutInAPayloadWith233)
{
    EXPECT_EQ(ExitCode(), 0u);

    TearDown();
    process_ = nullptr;
    started_ = nullptr;
    SetUp();
    const DWORD header[4] = {0xDE55ADFF, 1, 100, 0x55ADFFDE};
    DWORD written = 0;
    WriteFile(engine_->Pipe(), header, sizeof(header), &written, nullptr);
    WriteFile(engine_->Pipe(), header, 8, &written, nullptr);
    DisconnectNamedPipe(engine_->Pipe());
    EXPECT_EQ(WaitForSingleObject(process_, 20000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    EXPECT_EQ(code, 233u);
}

} // namespace
