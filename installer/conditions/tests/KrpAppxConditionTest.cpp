#include "conditions/AppxInstalledCondition.h"
#include "conditions/KrpInstalledCondition.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "conditions/ConditionKind.h"
#include "conditions/InstalledProductConditions.h"
#include "parcels/ProxyHandler.h"
#include "InstalledConditionTestSupport.h"
#include "support/ConditionTestSupport.h"

namespace {

using namespace installed_testing;
using testing_support::FakeEngine;
using testing_support::TraceCapture;

constexpr wchar_t kProduct[] = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1301}";
constexpr wchar_t kUninstall[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

_stringx TempFile(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    _stringx path = _stringx(temp).path_combine(name);
    path += _stringx(static_cast<long>(GetCurrentProcessId()));
    return path;
}

// The product's Uninstall key under one root, removed again at the end.
class UninstallEntry {
public:
    UninstallEntry(HKEY root, const wchar_t* product) : m_root(root), m_path(_stringx(kUninstall) + product)
    {
        RegCreateKeyExW(m_root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
    }
    ~UninstallEntry()
    {
        RegCloseKey(m_key);
        RegDeleteKeyW(m_root, m_path.c_str());
    }
    void Version(DWORD version)
    {
        RegSetValueExW(m_key, L"Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version), sizeof(version));
    }
    void LogFile(const _stringx& path)
    {
        RegSetValueExW(m_key, L"LogFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.length() + 1) * sizeof(wchar_t)));
    }

private:
    HKEY m_root;
    _stringx m_path;
    HKEY m_key = nullptr;
};

TEST(KrpInstalled, Validation)
{
    struct Case {
        std::initializer_list<Attribute> attributes;
        HRESULT result;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{{L"ProductCode", L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1301"}}, S_OK, nullptr},
        {{{L"ProductCode", L"{6E1D3C41}"}}, E_INVALIDARG, L"KrpInstalled condition: invalid product code specified"},
        {{{L"ProductCode", kProduct}, {L"ProductVersion", L"1.0"}}, E_INVALIDARG,
         L"KrpInstalled condition: invalid comparator specified (80070057)"},
        {{{L"ProductCode", kProduct}, {L"ProductVersion", L"1.x"}, {L"Compare", L"Equal"}}, DISP_E_TYPEMISMATCH,
         L"KrpInstalled: failed to validate condition conversion value, error 80020005"},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        auto condition = Make(ckKrpInstalled, c.attributes);
        EXPECT_EQ(condition->Validate(), c.result);
        if (c.line)
            EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
    }
}

TEST(KrpInstalled, RegistryEntries)
{
    const _stringx log = TempFile(L"krp-log");
    std::ofstream(log.c_str()) << "log";
    struct Case {
        HKEY root;
        bool withLog;
        const wchar_t* logPath;
        DWORD version;
        std::initializer_list<Attribute> attributes;
        bool result;
    };
    const wchar_t* unbraced = L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1301";
    const Case cases[] = {
        {HKEY_LOCAL_MACHINE, true, log.c_str(), 0, {{L"ProductCode", kProduct}}, true},
        // The Uninstall key is named by the braced code.
        {HKEY_LOCAL_MACHINE, true, log.c_str(), 0, {{L"ProductCode", unbraced}}, true},
        {HKEY_LOCAL_MACHINE, false, nullptr, 0, {{L"ProductCode", kProduct}}, false},
        {HKEY_LOCAL_MACHINE, true, L"C:\\no\\such\\krp.log", 0, {{L"ProductCode", kProduct}}, false},
        {HKEY_LOCAL_MACHINE, false, nullptr, 0, {{L"ProductCode", kProduct}, {L"VerifyLogExists", L"NO"}}, true},
        {HKEY_CURRENT_USER, true, log.c_str(), 0, {{L"ProductCode", kProduct}}, true},
        {HKEY_CURRENT_USER, true, log.c_str(), 0, {{L"ProductCode", kProduct}, {L"CheckPerUser", L"no"}}, false},
        // "Version" packs a.b.c as a << 24 | b << 16 | c.
        {HKEY_LOCAL_MACHINE, true, log.c_str(), 0x02010003,
         {{L"ProductCode", kProduct}, {L"ProductVersion", L"2.1.3"}, {L"Compare", L"Equal"}}, true},
        {HKEY_LOCAL_MACHINE, true, log.c_str(), 0x02010003,
         {{L"ProductCode", kProduct}, {L"ProductVersion", L"2.2"}, {L"Compare", L"GreaterEqual"}}, false},
        {HKEY_LOCAL_MACHINE, true, log.c_str(), 0,
         {{L"ProductCode", kProduct}, {L"ProductVersion", L"1.0"}, {L"Compare", L"LessThan"}}, true},
    };
    for (const Case& c : cases) {
        UninstallEntry entry(c.root, kProduct);
        if (c.withLog)
            entry.LogFile(c.logPath);
        if (c.version)
            entry.Version(c.version);
        auto condition = Make(ckKrpInstalled, c.attributes);
        ASSERT_EQ(condition->Validate(), S_OK);
        EXPECT_EQ(Evaluated(*condition), c.result)
            << (c.root == HKEY_CURRENT_USER ? "HKCU " : "HKLM ") << c.attributes.size() << " attributes";
    }
    auto absent = Make(ckKrpInstalled, {{L"ProductCode", kProduct}, {L"VerifyLogExists", L"no"}});
    ASSERT_EQ(absent->Validate(), S_OK);
    EXPECT_FALSE(Evaluated(*absent));
    DeleteFileW(log.c_str());
}

LSTATUS WINAPI RefuseMachineKeys(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (root == HKEY_LOCAL_MACHINE)
        return ERROR_ACCESS_DENIED;
    return RegOpenKeyExW(root, path, options, access, key);
}

TEST(KrpInstalled, RefusedOpenIsNotInstalled)
{
    // Wine grants every open, so the refusal comes through the seam.
    const RegistryKeyOpen previous = SetKrpInstalledKeyOpen(RefuseMachineKeys);
    {
        UninstallEntry machine(HKEY_LOCAL_MACHINE, kProduct);
        for (const wchar_t* perUser : {L"no", L"yes"}) {
            auto condition = Make(ckKrpInstalled,
                                  {{L"ProductCode", kProduct}, {L"VerifyLogExists", L"no"}, {L"CheckPerUser", perUser}});
            ASSERT_EQ(condition->Validate(), S_OK);
            EXPECT_FALSE(Evaluated(*condition)) << perUser;
        }
        // Per user, a registration under HKEY_CURRENT_USER still counts.
        UninstallEntry user(HKEY_CURRENT_USER, kProduct);
        auto condition = Make(ckKrpInstalled, {{L"ProductCode", kProduct}, {L"VerifyLogExists", L"no"}});
        ASSERT_EQ(condition->Validate(), S_OK);
        EXPECT_TRUE(Evaluated(*condition));
    }
    SetKrpInstalledKeyOpen(previous);
}

TEST(AppxInstalled, Validation)
{
    struct Case {
        std::initializer_list<Attribute> attributes;
        HRESULT result;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{{L"Name", L"Contoso.App"}}, S_OK, nullptr},
        {{{L"Publisher", L"CN=Contoso"}}, E_INVALIDARG, L"AppxInstalled: the application Name attribute is required"},
        {{{L"Name", L"Contoso.App"}, {L"ProcessorArchitecture", L"arm"}}, S_OK, nullptr},
        {{{L"Name", L"Contoso.App"}, {L"ProcessorArchitecture", L"arm64"}}, E_INVALIDARG,
         L"AppxInstalled: invalid processor architecture attribute value specified: arm64"},
        {{{L"Name", L"Contoso.App"}, {L"Version", L"1.0"}, {L"Compare", L"Newer"}}, E_INVALIDARG,
         L"AppxInstalled: invalid comparator type specified: Newer (error 0x80070057)"},
        {{{L"Name", L"Contoso.App"}, {L"Version", L"1.x"}, {L"Compare", L"Equal"}}, DISP_E_TYPEMISMATCH,
         L"AppxInstalled: invalid version attribute value specified: 1.x (error 0x80020005)"},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        auto condition = Make(ckAppxInstalled, c.attributes);
        EXPECT_EQ(condition->Validate(), c.result);
        if (c.line)
            EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
    }
}

std::string Hex(const std::wstring& text)
{
    std::string hex;
    char digits[8];
    for (wchar_t ch : text) {
        std::snprintf(digits, sizeof(digits), "%02X%02X", ch & 0xFF, (ch >> 8) & 0xFF);
        hex += digits;
    }
    return hex;
}

// The app-package helper stand-in on a pipe of the test's own.
class MosspakHelper {
public:
    explicit MosspakHelper(const char* script)
        : m_script(TempFile(L"mosspak-script")), m_log(TempFile(L"mosspak-log"))
    {
        std::ofstream(m_script.c_str()) << script;
        DeleteFileW(m_log.c_str());
        _stringx name;
        name.format(L"\\\\.\\pipe\\ConditionTestAppx_%lu", GetCurrentProcessId());
        const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536,
                                             65536, 0, nullptr);
        _stringx line = _stringx(L"\"") + ProgramFolder().path_combine(L"Mosspak.exe") + L"\" " + name + L" \"" +
                        m_script + L"\" \"" + m_log + L"\"";
        STARTUPINFOW startup = {sizeof(startup)};
        PROCESS_INFORMATION process = {};
        started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
        if (started)
            CloseHandle(process.hThread);
        m_handler = std::make_unique<CProxyHandler>(pipe, started ? process.hProcess : nullptr);
        if (started && m_handler->WaitForConnection() == 0)
            connected = m_handler->Handshake() == 0;
    }
    ~MosspakHelper()
    {
        m_handler.reset();
        DeleteFileW(m_script.c_str());
        DeleteFileW(m_log.c_str());
    }

    CProxyHandler* Handler() { return m_handler.get(); }
    std::string Log()
    {
        std::ifstream log(m_log.c_str());
        return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
    }

    bool started = false;
    bool connected = false;

private:
    _stringx m_script;
    _stringx m_log;
    std::unique_ptr<CProxyHandler> m_handler;
};

void SetVersion(FakeEngine& engine, DWORD major, DWORD minor)
{
    engine.osVersion.dwOSVersionInfoSize = sizeof(engine.osVersion);
    engine.osVersion.dwMajorVersion = major;
    engine.osVersion.dwMinorVersion = minor;
}

TEST(AppxInstalled, AsksTheHelperProcess)
{
    FakeEngine engine;
    SetVersion(engine, 10, 0);
    MosspakHelper helper("Contoso.App 0\nAbsent.App 1605\nDenied.App 5\n");
    ASSERT_TRUE(helper.started);
    ASSERT_TRUE(helper.connected);
    engine.appxHelper = helper.Handler();

    auto installed = Make(ckAppxInstalled, {{L"Name", L"Contoso.App"}, {L"Publisher", L"CN=Co"}});
    ASSERT_EQ(installed->Validate(), S_OK);
    {
        TraceCapture trace;
        EXPECT_TRUE(Evaluated(*installed));
        EXPECT_NE(trace.Messages().find(L"AppxInstalled: result 0x00000000"), std::wstring::npos);
    }
    // The record as the helper received it: sub-operation 3, operator 13 (no
    // Version), version 0.0.0.0, lengths 0 and 10, a zero word, the texts, four zero bytes.
    const std::string record = "03000000"
                               "0D000000"
                               "00000000"
                               "00000000"
                               "00000000"
                               "0A000000"
                               "00000000" +
                               Hex(L"CN=Co") + "00000000";
    const std::string expected =
        "request 11 value 0 data1 " + Hex(L"Contoso.App") + " data2 " + record + " answer 0\n";
    EXPECT_EQ(helper.Log(), expected);

    auto versioned = Make(ckAppxInstalled, {{L"Name", L"Absent.App"},
                                            {L"ProcessorArchitecture", L"x64"},
                                            {L"Version", L"1.2.3.4"},
                                            {L"Compare", L"GreaterEqual"}});
    ASSERT_EQ(versioned->Validate(), S_OK);
    EXPECT_FALSE(Evaluated(*versioned));
    const std::string versionedRecord = "03000000"
                                        "03000000"
                                        "02000100"
                                        "04000300"
                                        "06000000"
                                        "00000000"
                                        "00000000" +
                                        Hex(L"x64") + "00000000";
    EXPECT_NE(helper.Log().find(" data2 " + versionedRecord + " answer 1605\n"), std::string::npos) << helper.Log();

    auto denied = Make(ckAppxInstalled, {{L"Name", L"Denied.App"}});
    ASSERT_EQ(denied->Validate(), S_OK);
    TraceCapture trace;
    EXPECT_FALSE(Evaluated(*denied, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)));
    EXPECT_NE(trace.Messages().find(L"AppxInstalled: failed to evaluate condition, error 0x00000005"),
              std::wstring::npos);
}

TEST(AppxInstalled, NoHelper)
{
    FakeEngine engine;
    auto condition = Make(ckAppxInstalled, {{L"Name", L"Contoso.App"}});
    ASSERT_EQ(condition->Validate(), S_OK);
    {
        // Before Windows 8 the engine refuses the helper.
        TraceCapture trace;
        engine.appxHelperError = ERROR_NOT_SUPPORTED;
        EXPECT_FALSE(Evaluated(*condition, S_OK));
        EXPECT_NE(trace.Messages().find(L"AppxInstalled: condition not supported on this platform, will return false"),
                  std::wstring::npos);
    }
    TraceCapture trace;
    engine.appxHelperError = ERROR_FILE_NOT_FOUND;
    EXPECT_FALSE(Evaluated(*condition, static_cast<HRESULT>(0x800700E9)));
    EXPECT_NE(trace.Messages().find(L"AppxInstalled: failed to obtain appx helper proxy handler"), std::wstring::npos);
}

} // namespace
