// The reboot indicators on the machine's real registry: values added after the
// snapshot signal, values removed never do.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "kr/system_info.h"
#include "parcels/RebootHandler.h"
#include "support/ConditionTestSupport.h"

namespace {

constexpr wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr wchar_t kRunOnceEx[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingRenames[] = L"PendingFileRenameOperations";
constexpr wchar_t kValueName[] = L"RebootHandlerTestValue";
constexpr wchar_t kNoIndicator[] = L"No registry indicators appear to signal a reboot is pending";

class CodesHandler : public CRebootHandler {
public:
    void GetRebootCodes(std::vector<DWORD>& codes) override { codes = {3010, 1641}; }
};

struct Indicator {
    HKEY root;
    const wchar_t* key;
    bool view64;
    const wchar_t* plainLine;
    const wchar_t* line64;
};

// A 64-bit-view indicator counts other values than the plain one only in a
// 32-bit process on 64-bit Windows.
std::wstring ExpectedLine(const Indicator& indicator)
{
    const bool separateView = sizeof(void*) == 4 && kr::is_64bit_os();
    return indicator.view64 && separateView ? indicator.line64 : indicator.plainLine;
}

REGSAM ViewOf(const Indicator& indicator)
{
    return indicator.view64 && kr::is_64bit_os() ? KEY_WOW64_64KEY : 0;
}

bool AddValue(const Indicator& indicator)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(indicator.root, indicator.key, 0, nullptr, 0, KEY_WRITE | ViewOf(indicator), nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const wchar_t data[] = L"cmd.exe /c rem";
    const LONG result = RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void RemoveValue(const Indicator& indicator)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(indicator.root, indicator.key, 0, KEY_WRITE | ViewOf(indicator), &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, kValueName);
    RegCloseKey(key);
}

TEST(RebootHandlerTest, RunOnceValuesAddedSignalAndRemovedOnesDoNot)
{
    const Indicator indicators[] = {
        {HKEY_LOCAL_MACHINE, kRunOnce, false, L"HKLM RunOnce key appears to have been updated, reboot is required",
         nullptr},
        {HKEY_CURRENT_USER, kRunOnce, false, L"HKCU RunOnce key appears to have been updated, reboot is required",
         nullptr},
        {HKEY_LOCAL_MACHINE, kRunOnce, true, L"HKLM RunOnce key appears to have been updated, reboot is required",
         L"HKLM 64-bit RunOnce key appears to have been updated, reboot is required"},
        {HKEY_LOCAL_MACHINE, kRunOnceEx, false,
         L"HKLM RunOnceEx key appears to have been updated, reboot is required", nullptr},
        {HKEY_LOCAL_MACHINE, kRunOnceEx, true, L"HKLM RunOnceEx key appears to have been updated, reboot is required",
         L"HKLM 64-bit RunOnceEx key appears to have been updated, reboot is required"},
    };
    for (const Indicator& indicator : indicators) {
        const std::wstring line = ExpectedLine(indicator);
        RemoveValue(indicator);
        {
            CodesHandler handler;
            handler.TakeSnapshot();
            ASSERT_TRUE(AddValue(indicator)) << line;
            testing_support::TraceCapture trace;
            EXPECT_TRUE(handler.IsRebootRequired(0, true)) << line;
            EXPECT_NE(std::wstring::npos, trace.Messages().find(line)) << trace.Messages();
        }
        {
            CodesHandler handler;
            handler.TakeSnapshot();
            RemoveValue(indicator);
            testing_support::TraceCapture trace;
            EXPECT_FALSE(handler.IndicatorsChanged()) << line;
            EXPECT_NE(std::wstring::npos, trace.Messages().find(kNoIndicator)) << trace.Messages();
        }
    }
}

// The pending renames grow by one more pair, then shrink back.
TEST(RebootHandlerTest, LongerPendingRenamesSignal)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    DWORD type = 0;
    DWORD size = 0;
    const bool had = RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    std::vector<BYTE> original(size);
    if (had)
        RegQueryValueExW(key, kPendingRenames, nullptr, &type, original.data(), &size);

    // A multi-string: the original entries (without the final terminator), one pair, the terminator.
    std::wstring longer;
    if (had && size >= 2 * sizeof(wchar_t))
        longer.assign(reinterpret_cast<const wchar_t*>(original.data()), size / sizeof(wchar_t) - 1);
    const wchar_t pair[] = L"\\??\\C:\\windows\\temp\\reboot-handler-test.tmp\0\0";
    longer.append(pair, sizeof(pair) / sizeof(wchar_t) - 1);

    CodesHandler grown;
    grown.TakeSnapshot();
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ,
                                            reinterpret_cast<const BYTE*>(longer.data()),
                                            static_cast<DWORD>(longer.size() * sizeof(wchar_t))));
    {
        testing_support::TraceCapture trace;
        EXPECT_TRUE(grown.IndicatorsChanged());
        EXPECT_EQ(std::wstring::npos, trace.Messages().find(kNoIndicator)) << trace.Messages();
    }

    CodesHandler shrunk;
    shrunk.TakeSnapshot();
    if (had)
        RegSetValueExW(key, kPendingRenames, 0, type, original.data(), size);
    else
        RegDeleteValueW(key, kPendingRenames);
    RegCloseKey(key);
    EXPECT_FALSE(shrunk.IndicatorsChanged());
}

TEST(RebootHandlerTest, ExitCodesOfTheListDecideAlone)
{
    CodesHandler handler;
    handler.TakeSnapshot();
    EXPECT_TRUE(handler.IsRebootRequired(3010, false));
    EXPECT_TRUE(handler.IsRebootRequired(1641, true));
    EXPECT_FALSE(handler.IsRebootRequired(0, false));
    EXPECT_FALSE(handler.IsRebootRequired(1603, true));
}

} // namespace
