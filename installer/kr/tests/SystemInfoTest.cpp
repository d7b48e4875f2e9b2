#include "kr/system_info.h"

#include <gtest/gtest.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "TestFolder.h"
#include "kr/file_system.h"
#include "kr/folders.h"
#include "kr/reboot.h"
#include "kr/temp_folders.h"
#include "kr/wow64_redirection.h"

namespace {

bool IsUpperGuidText(const std::wstring& text)
{
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

TEST(SystemInfo, GuidTexts)
{
    const GUID known = {0x6e2c3b8a, 0x41d7, 0x4f0b, {0x9c, 0x55, 0x2a, 0x7e, 0x91, 0xd4, 0x0b, 0x13}};
    EXPECT_EQ(std::wstring(kr::guid_to_string(known).c_str()), L"6E2C3B8A-41D7-4F0B-9C55-2A7E91D40B13");
    const _stringx a = kr::new_guid_string();
    const _stringx b = kr::new_guid_string();
    EXPECT_TRUE(IsUpperGuidText(a.c_str())) << a.c_str();
    EXPECT_NE(std::wstring(a.c_str()), std::wstring(b.c_str()));
}

TEST(SystemInfo, PlatformAndProcessor)
{
    EXPECT_TRUE(kr::nt_platform());
    EXPECT_TRUE(kr::nt5_or_later());
    EXPECT_FALSE(kr::win9x_platform());
    EXPECT_EQ(kr::get_platform_id(), static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    // The test prefix is 64-bit: a 32-bit test runs under WOW64.
    EXPECT_TRUE(kr::is_64bit_os());
    EXPECT_TRUE(kr::is_amd64());
    EXPECT_FALSE(kr::is_ia64());
    EXPECT_EQ(kr::is_wow64(), sizeof(void*) == 4);
    EXPECT_NE(kr::get_system_ui_language(), 0);
}

TEST(SystemInfo, FileVersionText)
{
    const _stringx helper((ProgramFolder() + L"kr_test_helper.exe").c_str());
    EXPECT_EQ(std::wstring(kr::get_file_version_string(helper, L".").c_str()), L"1.2.3.4");
    EXPECT_EQ(std::wstring(kr::get_file_version_string(helper, L", ").c_str()), L"1, 2, 3, 4");
    EXPECT_TRUE(kr::get_file_version_string(L"C:\\no\\such.dll", L".").empty());
}

TEST(TempNames, FolderNamedByGuid)
{
    TestFolder folder;
    const _stringx name = kr::get_temp_file_name(_stringx(folder.path().c_str()), _stringx(), false);
    const std::wstring text(name.c_str());
    ASSERT_EQ(text.size(), folder.path().size() + 1 + 38 + 1) << text;
    EXPECT_EQ(text.substr(0, folder.path().size() + 2), folder.path() + L"\\{");
    EXPECT_TRUE(IsUpperGuidText(text.substr(folder.path().size() + 2, 36)));
    EXPECT_EQ(text.substr(text.size() - 2), L"}\\");
    EXPECT_TRUE(kr::path_test(name, kr::path_accept_folder));
}

TEST(TempNames, SystemNamesWithAndWithoutExtension)
{
    TestFolder folder;
    const _stringx base(folder.path().c_str());
    const _stringx plain = kr::get_temp_file_name(base, _stringx(), true);
    const std::wstring text(plain.c_str());
    EXPECT_EQ(text.substr(0, folder.path().size() + 4), folder.path() + L"\\_kr");
    EXPECT_EQ(text.find(L".tmp"), std::wstring::npos);
    EXPECT_FALSE(Exists(text));

    const _stringx program = kr::get_temp_file_name(base, L"exe", true);
    EXPECT_TRUE(program.ends_with(L".exe"));
    EXPECT_FALSE(Exists(program.c_str()));

    // A missing folder is made first.
    const _stringx inside = kr::get_temp_file_name(_stringx((folder / L"made").c_str()), L"exe", true);
    EXPECT_TRUE(Exists(folder / L"made"));
    EXPECT_FALSE(inside.empty());
}

TEST(TempNames, PrivateFolderWithItsAccessList)
{
    const _stringx folder = kr::create_private_temp_folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.ends_with(L"}\\"));
    EXPECT_TRUE(folder.starts_with(kr::get_temp_path() + L"{"));
    EXPECT_TRUE(kr::path_test(folder, kr::path_accept_folder));
    RemoveDirectoryW(folder.c_str());

    // Wine ignores folder access lists: the list is checked as it is built.
    kr::private_folder_security security;
    ASSERT_TRUE(security.valid());
    ASSERT_NE(security.attributes(), nullptr);
    EXPECT_FALSE(security.attributes()->bInheritHandle);
    ACL_SIZE_INFORMATION size = {};
    ASSERT_TRUE(GetAclInformation(security.access_list(), &size, sizeof(size), AclSizeInformation));
    ASSERT_EQ(size.AceCount, 2u);

    const wchar_t* expected_sids[] = {L"S-1-5-32-545", L"S-1-5-32-544"};
    const DWORD expected_masks[] = {0x1200A9, 0x1F01FF};
    for (DWORD i = 0; i < 2; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(security.access_list(), i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        EXPECT_EQ(ace->Mask, expected_masks[i]);
        PSID wanted = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidW(expected_sids[i], &wanted));
        EXPECT_TRUE(EqualSid(&ace->SidStart, wanted)) << expected_sids[i];
        LocalFree(wanted);
    }
}

TEST(Wow64Redirection, NestedSwitchesUndoInnermostFirst)
{
    if (!kr::is_wow64()) {
        EXPECT_FALSE(kr::wow64_redirection(false));
        return;
    }
    ASSERT_TRUE(kr::wow64_redirection(false));
    ASSERT_TRUE(kr::wow64_redirection(false));
    EXPECT_EQ(kr::wow64_redirection_depth(), 2u);
    EXPECT_TRUE(kr::wow64_redirection(true));
    EXPECT_EQ(kr::wow64_redirection_depth(), 1u);
    EXPECT_TRUE(kr::wow64_redirection(true));
    EXPECT_EQ(kr::wow64_redirection_depth(), 0u);
}

struct ExitWindowsRecorder {
    static UINT flags;
    static DWORD reason;
    static int calls;
    static BOOL WINAPI Record(UINT f, DWORD r)
    {
        flags = f;
        reason = r;
        ++calls;
        return TRUE;
    }
    static BOOL WINAPI Refuse(UINT, DWORD) { return FALSE; }
};
UINT ExitWindowsRecorder::flags = 0;
DWORD ExitWindowsRecorder::reason = 0;
int ExitWindowsRecorder::calls = 0;

TEST(Reboot, AsksForARestartThroughItsSeam)
{
    const kr::exit_windows_function previous = kr::set_exit_windows_function(&ExitWindowsRecorder::Record);
    EXPECT_FALSE(kr::reboot_system());
    EXPECT_EQ(ExitWindowsRecorder::calls, 1);
    EXPECT_EQ(ExitWindowsRecorder::flags, static_cast<UINT>(EWX_REBOOT));
    EXPECT_EQ(ExitWindowsRecorder::reason, 0xFFFFu);
    kr::set_exit_windows_function(&ExitWindowsRecorder::Refuse);
    EXPECT_TRUE(kr::reboot_system());
    kr::set_exit_windows_function(previous);
}

} // namespace
