// Registry scripts run against a scratch key of the current user.
#include <com/Registrar.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

const wchar_t kScratch[] = L"Software\\ComLayerTest";

std::optional<std::wstring> ReadText(const std::wstring &key, const wchar_t *name = nullptr)
{
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer);
    LONG status =
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size);
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(buffer);
}

bool KeyExists(const std::wstring &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

void CreateKey(const std::wstring &key)
{
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
}

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }

    static std::wstring Path(const wchar_t *below) { return std::wstring(kScratch) + L"\\" + below; }
};

const wchar_t kScript[] = LR"(
HKCU
{
    NoRemove Software
    {
        NoRemove ComLayerTest
        {
            Product.%Name%.1 = s '%Info%'
            {
                CLSID = s '%Id%'
            }
            ForceRemove %Id% = s 'Class ''%Name%'''
            {
                'Programmable'
                InprocServer32 = s '%MODULE%'
                {
                    val ThreadingModel = s 'Free'
                    val 'Second Value' = s '100%%'
                }
            }
        }
    }
}
)";

const com::RegistryReplacement kReplacements[] = {
    {L"Name", L"Widget"},
    {L"Info", L"Widget's class"},
    {L"Id", L"{01234567-89AB-CDEF-0123-456789ABCDEF}"},
    {L"MODULE", L"C:\\Program Files\\x.dll"},
};

TEST_F(RegistrarTest, RegisteringWritesKeysValuesAndReplacements)
{
    ASSERT_EQ(com::RunRegistryScript(kScript, kReplacements, true), S_OK);
    EXPECT_EQ(ReadText(Path(L"Product.Widget.1")), L"Widget's class");
    EXPECT_EQ(ReadText(Path(L"Product.Widget.1\\CLSID")), L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
    const std::wstring clsid = Path(L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(ReadText(clsid), L"Class 'Widget'");
    EXPECT_TRUE(KeyExists(clsid + L"\\Programmable"));
    EXPECT_EQ(ReadText(clsid + L"\\InprocServer32"), L"C:\\Program Files\\x.dll");
    EXPECT_EQ(ReadText(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Free");
    EXPECT_EQ(ReadText(clsid + L"\\InprocServer32", L"Second Value"), L"100%");
}

TEST_F(RegistrarTest, ForceRemoveReplacesTheWholeKeyWhenRegistering)
{
    const std::wstring clsid = Path(L"{01234567-89AB-CDEF-0123-456789ABCDEF}");
    CreateKey(clsid + L"\\Stale");
    ASSERT_EQ(com::RunRegistryScript(kScript, kReplacements, true), S_OK);
    EXPECT_FALSE(KeyExists(clsid + L"\\Stale"));
    EXPECT_TRUE(KeyExists(clsid + L"\\InprocServer32"));
}

TEST_F(RegistrarTest, UnregisteringKeepsNoRemoveKeysAndKeysOthersStillUse)
{
    ASSERT_EQ(com::RunRegistryScript(kScript, kReplacements, true), S_OK);
    CreateKey(Path(L"Product.Widget.1\\Foreign"));
    CreateKey(Path(L"Unrelated"));
    ASSERT_EQ(com::RunRegistryScript(kScript, kReplacements, false), S_OK);

    EXPECT_FALSE(KeyExists(Path(L"{01234567-89AB-CDEF-0123-456789ABCDEF}")));
    EXPECT_FALSE(KeyExists(Path(L"Product.Widget.1\\CLSID")));
    EXPECT_TRUE(KeyExists(Path(L"Product.Widget.1\\Foreign")));
    EXPECT_TRUE(KeyExists(Path(L"Unrelated")));
    EXPECT_TRUE(KeyExists(kScratch));

    // Removing what is already gone is not a failure.
    EXPECT_EQ(com::RunRegistryScript(kScript, kReplacements, false), S_OK);
}

TEST_F(RegistrarTest, MalformedScriptsAndUnknownNamesAreRefusedBeforeAnythingIsWritten)
{
    const HRESULT malformed = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    struct Case {
        const wchar_t *script;
        HRESULT expected;
    };
    const Case cases[] = {
        {L"HKXX { Software }", malformed},
        {L"HKCU { Software\\ComLayerTest\\A = s 'x' ", malformed},
        {L"HKCU { Software\\ComLayerTest\\A = s 'unterminated }", malformed},
        {L"HKCU { Software\\ComLayerTest\\A = d '1' }", malformed},
        {L"HKCU { val X = s 'y' }", malformed},
        {L"HKCU { Software\\ComLayerTest\\A = s '%Missing%' }", HRESULT_FROM_WIN32(ERROR_ENVVAR_NOT_FOUND)},
        {L"HKCU { Software\\ComLayerTest\\A = s '100% }", malformed},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(com::RunRegistryScript(c.script, kReplacements, true), c.expected) << c.script;
    }
    EXPECT_FALSE(KeyExists(Path(L"A")));
}

TEST_F(RegistrarTest, FullRootNamesAndPathsAreAccepted)
{
    ASSERT_EQ(com::RunRegistryScript(L"HKEY_CURRENT_USER { Software\\ComLayerTest\\Deep\\Key = s 'v' }", {}, true),
              S_OK);
    EXPECT_EQ(ReadText(Path(L"Deep\\Key")), L"v");
}

} // namespace
