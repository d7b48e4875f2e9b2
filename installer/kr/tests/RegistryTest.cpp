#include "kr/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFolder.h"
#include "kr/file_system.h"
#include "kr/library_state.h"
#include "kr/self_registration.h"

namespace {

const wchar_t kTestKey[] = L"Software\\KrTests\\Registry";

class Registry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KrTests"); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KrTests"); }

    static void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }

    static bool ValueExists(const wchar_t* key_path, const wchar_t* name)
    {
        return RegGetValueW(HKEY_CURRENT_USER, key_path, name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
    }
};

TEST_F(Registry, WritersNeedTheKeyAndRecordTheirResult)
{
    EXPECT_FALSE(kr::reg_write_string(HKEY_CURRENT_USER, kTestKey, L"Name", L"value"));
    EXPECT_EQ(kr::last_result(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(kr::reg_key_exists(HKEY_CURRENT_USER, kTestKey));

    ASSERT_TRUE(kr::reg_create_key(HKEY_CURRENT_USER, kTestKey));
    EXPECT_EQ(kr::last_result(), 0u);
    EXPECT_TRUE(kr::reg_key_exists(HKEY_CURRENT_USER, kTestKey));
    EXPECT_TRUE(kr::reg_write_string(HKEY_CURRENT_USER, kTestKey, L"Name", L"value"));
    EXPECT_TRUE(kr::reg_write_dword(HKEY_CURRENT_USER, kTestKey, L"Count", 7));

    EXPECT_EQ(std::wstring(kr::reg_read_string(HKEY_CURRENT_USER, kTestKey, L"Name", L"def").c_str()), L"value");
    EXPECT_EQ(kr::reg_read_dword(HKEY_CURRENT_USER, kTestKey, L"Count", 1), 7u);
    EXPECT_TRUE(kr::reg_delete_value(HKEY_CURRENT_USER, kTestKey, L"Count"));
    EXPECT_EQ(kr::reg_read_dword(HKEY_CURRENT_USER, kTestKey, L"Count", 1), 1u);
    EXPECT_EQ(kr::last_result(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(kr::reg_delete_value(HKEY_CURRENT_USER, kTestKey, L"Count"));
}

TEST_F(Registry, ReadersGiveTheDefaultForWrongTypesAndUnterminatedTexts)
{
    const wchar_t text[] = L"1";
    const wchar_t unterminated[] = {L'a', L'b'};
    const wchar_t multi[] = L"one\0two\0";
    const DWORD number = 5;
    SetRaw(L"Text", REG_SZ, text, sizeof(text));
    SetRaw(L"Unterminated", REG_SZ, unterminated, sizeof(unterminated));
    SetRaw(L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
    SetRaw(L"MultiOneNul", REG_MULTI_SZ, L"x", 4);
    SetRaw(L"Expand", REG_EXPAND_SZ, L"%TEMP%", 14);
    SetRaw(L"Number", REG_DWORD, &number, sizeof(number));

    struct Case {
        const wchar_t* name;
        const wchar_t* text;
        DWORD recorded;
    };
    const Case texts[] = {
        {L"Text", L"1", 0},
        {L"Unterminated", L"def", ERROR_INVALID_DATA},
        {L"Multi", L"one", 0},
        {L"MultiOneNul", L"def", ERROR_INVALID_DATA},
        {L"Expand", L"%TEMP%", 0},
        {L"Number", L"def", ERROR_INVALID_DATA},
        {L"Missing", L"def", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : texts) {
        EXPECT_EQ(std::wstring(kr::reg_read_string(HKEY_CURRENT_USER, kTestKey, c.name, L"def").c_str()), c.text)
            << c.name;
        EXPECT_EQ(kr::last_result(), c.recorded) << c.name;
    }

    EXPECT_EQ(kr::reg_read_dword(HKEY_CURRENT_USER, kTestKey, L"Text", 99), 99u);
    EXPECT_EQ(kr::last_result(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(kr::reg_read_dword(HKEY_CURRENT_USER, L"Software\\KrTests\\None", L"Number", 98), 98u);
    EXPECT_EQ(kr::last_result(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Registry, ValueNamesInOrder)
{
    kr::stringx_vector names;
    EXPECT_FALSE(kr::reg_enum_value_names(HKEY_CURRENT_USER, kTestKey, 0, names));
    ASSERT_TRUE(kr::reg_create_key(HKEY_CURRENT_USER, kTestKey));
    EXPECT_TRUE(kr::reg_enum_value_names(HKEY_CURRENT_USER, kTestKey, 0, names));
    EXPECT_TRUE(names.empty());
    kr::reg_write_dword(HKEY_CURRENT_USER, kTestKey, L"First", 1);
    kr::reg_write_dword(HKEY_CURRENT_USER, kTestKey, L"Second", 2);
    EXPECT_TRUE(kr::reg_enum_value_names(HKEY_CURRENT_USER, kTestKey, KEY_WOW64_64KEY, names));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(std::wstring(names[0].c_str()), L"First");
    EXPECT_EQ(std::wstring(names[1].c_str()), L"Second");
}

std::wstring Bin(const wchar_t* name)
{
    return ProgramFolder() + name;
}

TEST_F(Registry, SelfRegistrationOfAServerDll)
{
    const _stringx server(Bin(L"kr_test_server.dll").c_str());
    ASSERT_TRUE(kr::self_register(server, true, false));
    EXPECT_TRUE(ValueExists(L"Software\\KrTests\\DllServer", L"Registered"));
    EXPECT_TRUE(kr::self_register(server, false, false));
    EXPECT_FALSE(ValueExists(L"Software\\KrTests\\DllServer", L"Registered"));

    EXPECT_FALSE(kr::self_register(_stringx(Bin(L"missing.dll").c_str()), true, false));
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), Bin(L"missing.dll"));
    EXPECT_FALSE(kr::self_register(_stringx(Bin(L"kr_test_server.txt").c_str()), true, false));
    EXPECT_FALSE(kr::self_register(L"", true, false));
}

TEST_F(Registry, ControlWithoutUnregisterEntryFallsBackToItsTypeLibrary)
{
    const _stringx control(Bin(L"kr_test_typelib.ocx").c_str());
    const wchar_t typelib_key[] = L"TypeLib\\{6E2C3B8A-41D7-4F0B-9C55-2A7E91D40B13}";
    ASSERT_TRUE(kr::self_register_typelib(control, true, false));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, typelib_key, 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_TRUE(kr::self_register(control, false, false));
    EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, typelib_key, 0, KEY_READ, &key), ERROR_SUCCESS);

    // Nothing left to unregister: the code kept is the type library's.
    EXPECT_FALSE(kr::self_register(control, false, false));
    EXPECT_NE(kr::last_result(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_NE(kr::last_result(), 0u);
}

TEST_F(Registry, ProgramServersRegisterByExitCode)
{
    TestFolder folder;
    const std::wstring good = folder / L"server.exe";
    const std::wstring failing = folder / L"failing_server.exe";
    ASSERT_TRUE(CopyFileW(Bin(L"kr_test_helper.exe").c_str(), good.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Bin(L"kr_test_helper.exe").c_str(), failing.c_str(), FALSE));

    EXPECT_FALSE(kr::self_register(_stringx(good.c_str()), true, true)) << "never per user";
    EXPECT_FALSE(ValueExists(L"Software\\KrTests\\ExeServer", L"Registered"));

    ASSERT_TRUE(kr::self_register(_stringx(good.c_str()), true, false));
    EXPECT_TRUE(ValueExists(L"Software\\KrTests\\ExeServer", L"Registered"));
    EXPECT_TRUE(kr::self_register(_stringx(good.c_str()), false, false));
    EXPECT_FALSE(ValueExists(L"Software\\KrTests\\ExeServer", L"Registered"));

    EXPECT_FALSE(kr::self_register(_stringx(failing.c_str()), true, false));
    EXPECT_EQ(kr::last_result(), 7u);
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), failing);
}

bool KeyExists(HKEY root, const wchar_t* path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

TEST_F(Registry, PerUserRegistrationLandsInTheUsersClassesOnly)
{
    const wchar_t server_class[] = L"Software\\Classes\\KrTests.DllServer";
    const wchar_t typelib[] = L"Software\\Classes\\TypeLib\\{6E2C3B8A-41D7-4F0B-9C55-2A7E91D40B13}";
    const wchar_t after[] = L"Software\\Classes\\KrTests.AfterOverride";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const wchar_t* path : {server_class, typelib, after})
            RegDeleteTreeW(root, path);
    }

    // A fresh prefix has no user classes key yet; the override needs one.
    HKEY classes = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_WRITE, nullptr, &classes,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(classes);

    // The server writes under the classes root; per user that is the user's classes.
    const _stringx server(Bin(L"kr_test_server.dll").c_str());
    ASSERT_TRUE(kr::self_register(server, true, true)) << std::hex << kr::last_result();
    EXPECT_TRUE(ValueExists(L"Software\\KrTests\\DllServer", L"Registered"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, server_class));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, server_class));

    // The real classes root is back when the call returns.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"KrTests.AfterOverride", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, after));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, after));

    EXPECT_TRUE(kr::self_register(server, false, true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, server_class));

    // A type library registered per user is entered under the user's classes only.
    const _stringx control(Bin(L"kr_test_typelib.ocx").c_str());
    ASSERT_TRUE(kr::self_register_typelib(control, true, true));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, typelib));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, typelib));
    EXPECT_TRUE(kr::self_register_typelib(control, false, true));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, typelib));

    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const wchar_t* path : {server_class, typelib, after})
            RegDeleteTreeW(root, path);
    }
}

TEST_F(Registry, SharedFileRemovalUnregistersAndDropsItsCount)
{
    TestFolder folder;
    const std::wstring copy = folder / L"shared.dll";
    ASSERT_TRUE(CopyFileW(Bin(L"kr_test_server.dll").c_str(), copy.c_str(), FALSE));
    const wchar_t shared_dlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
    ASSERT_TRUE(kr::reg_create_key(HKEY_LOCAL_MACHINE, shared_dlls));
    ASSERT_TRUE(kr::reg_write_dword(HKEY_LOCAL_MACHINE, shared_dlls, copy.c_str(), 1));
    ASSERT_TRUE(kr::self_register(_stringx(copy.c_str()), true, false));

    EXPECT_TRUE(kr::remove_shared_file(_stringx(copy.c_str())));
    EXPECT_FALSE(Exists(copy));
    EXPECT_FALSE(ValueExists(L"Software\\KrTests\\DllServer", L"Registered"));
    EXPECT_EQ(kr::reg_read_dword(HKEY_LOCAL_MACHINE, shared_dlls, copy.c_str(), 99), 99u);
}

} // namespace
