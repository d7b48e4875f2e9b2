#include "kr/file_system.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "kr/folders.h"
#include "kr/library_state.h"
#include "kr/win32_exception.h"

namespace {

std::vector<std::wstring> Sorted(const kr::stringx_vector& found)
{
    std::vector<std::wstring> names;
    for (const _stringx& name : found)
        names.emplace_back(name.c_str());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PathTest, FilesFoldersAndMissingPaths)
{
    TestFolder folder;
    WriteBytes(folder / L"a.txt", "x");
    const _stringx file((folder / L"a.txt").c_str());
    const _stringx dir(folder.path().c_str());
    const _stringx missing((folder / L"none\\x.txt").c_str());

    EXPECT_TRUE(kr::path_test(file, kr::path_accept_file));
    EXPECT_FALSE(kr::path_test(file, kr::path_accept_folder));
    EXPECT_FALSE(kr::path_test(dir, kr::path_accept_file));
    EXPECT_TRUE(kr::path_test(dir, kr::path_accept_any));
    EXPECT_FALSE(kr::path_test(missing, kr::path_accept_any | kr::path_raise_errors));
    EXPECT_FALSE(kr::path_test(_stringx((folder / L"gone").c_str()), kr::path_accept_any | kr::path_raise_errors));
}

TEST(PathTest, UnexpectedErrorsRaiseOnlyWhenAsked)
{
    // A name Windows refuses outright is neither "not found" nor access denied.
    const _stringx invalid(L"C:\\bad<name>|?.txt");
    EXPECT_FALSE(kr::path_test(invalid, kr::path_accept_any));
    try {
        kr::path_test(invalid, kr::path_accept_any | kr::path_raise_errors);
        FAIL() << "no exception";
    } catch (const kr::file_exception& failure) {
        EXPECT_NE(failure.code(), 0u);
        EXPECT_EQ(std::wstring(failure.path().c_str()), invalid.c_str());
    }
}

TEST(PathTest, WebAddressesAreOnlyTestedWithTheirFlag)
{
    EXPECT_FALSE(kr::url_exists(L"C:\\Windows", kr::path_accept_any));
    EXPECT_FALSE(kr::path_test(L"http://", kr::path_accept_any | kr::path_test_url));
}

TEST(DirectoryTree, CreatesEveryLevelAndToleratesExistingOnes)
{
    TestFolder folder;
    const _stringx deep((folder / L"a\\b\\c").c_str());
    ASSERT_TRUE(kr::create_directory_tree(deep));
    EXPECT_TRUE(Exists(folder / L"a\\b\\c"));
    EXPECT_EQ(kr::last_result(), 0u);

    kr::record_error(5, L"stale");
    ASSERT_TRUE(kr::create_directory_tree(deep + L"\\"));
    EXPECT_EQ(kr::last_result(), 0u);
    EXPECT_TRUE(kr::state().errors.empty());
}

TEST(DirectoryTree, RelativePathCreatesItsFirstComponent)
{
    TestFolder folder;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    const bool created = kr::create_directory_tree(L"first\\second");
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(created);
    EXPECT_TRUE(Exists(folder / L"first\\second"));
}

TEST(DirectoryTree, FailureNamesTheFolderThatFailed)
{
    TestFolder folder;
    WriteBytes(folder / L"file", "x");
    const _stringx below((folder / L"file\\sub\\deeper").c_str());
    EXPECT_FALSE(kr::create_directory_tree(below));
    EXPECT_NE(kr::last_result(), 0u);
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), folder / L"file\\sub\\");
}

TEST(DirectoryTree, UncPathNeverCreatesServerOrShare)
{
    EXPECT_FALSE(kr::create_directory_tree(L"\\\\no-such-server\\no-share\\dir\\sub"));
    // The first folder tried is the one below the share.
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), L"\\\\no-such-server\\no-share\\dir\\");
}

TEST(DirectoryTree, CreateFolderOfAPath)
{
    TestFolder folder;
    EXPECT_TRUE(kr::create_folder_of(_stringx((folder / L"x\\y\\file.txt").c_str())));
    EXPECT_TRUE(Exists(folder / L"x\\y"));
    EXPECT_FALSE(Exists(folder / L"x\\y\\file.txt"));
}

TEST(DeleteTree, RemovesContentBottomUp)
{
    TestFolder folder;
    const std::wstring root = folder / L"tree";
    MakeFolder(root);
    MakeFolder(root + L"\\sub");
    MakeFolder(root + L"\\sub\\deeper");
    WriteBytes(root + L"\\top.txt", "1");
    WriteBytes(root + L"\\sub\\mid.txt", "2");
    WriteBytes(root + L"\\sub\\deeper\\low.txt", "3");
    SetFileAttributesW((root + L"\\sub\\mid.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(kr::delete_tree(_stringx(root.c_str()), false));
    EXPECT_FALSE(Exists(root));
}

TEST(DeleteTree, RefusesRootsEmptyAndMissingPaths)
{
    for (const wchar_t* refused : {L"", L"C:", L"C:\\", L"c:\\"}) {
        EXPECT_FALSE(kr::delete_tree(refused, false)) << refused;
    }
    TestFolder folder;
    EXPECT_FALSE(kr::delete_tree(_stringx((folder / L"missing").c_str()), false));
    EXPECT_TRUE(Exists(L"C:\\windows"));
}

TEST(FindFiles, PatternsMasksAndRecursion)
{
    TestFolder folder;
    MakeFolder(folder / L"sub");
    WriteBytes(folder / L"a.txt", "");
    WriteBytes(folder / L"b.log", "");
    WriteBytes(folder / L"sub\\c.txt", "");
    const _stringx root(folder.path().c_str());

    kr::stringx_vector found;
    ASSERT_TRUE(kr::find_files(root, found, L"*.txt;*.log", 0, FILE_ATTRIBUTE_DIRECTORY, false, false));
    EXPECT_EQ(Sorted(found), (std::vector<std::wstring>{L"a.txt", L"b.log"}));

    found.clear();
    ASSERT_TRUE(kr::find_files(root, found, L"*.txt", 0, FILE_ATTRIBUTE_DIRECTORY, true, true));
    EXPECT_EQ(Sorted(found), (std::vector<std::wstring>{folder / L"a.txt", folder / L"sub\\c.txt"}));

    found.clear();
    ASSERT_TRUE(kr::find_files(root, found, L"*.*", FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY, false,
                               false));
    EXPECT_EQ(Sorted(found), (std::vector<std::wstring>{L"sub"}));

    // A name matched by two patterns is listed twice; a pattern without match adds nothing.
    found.clear();
    ASSERT_TRUE(kr::find_files(root, found, L"a.*;*.txt;*.none", 0, FILE_ATTRIBUTE_DIRECTORY, false, false));
    EXPECT_EQ(Sorted(found), (std::vector<std::wstring>{L"a.txt", L"a.txt"}));

    EXPECT_FALSE(kr::find_files(L"", found, L"*.*", 0, 0, false, false));
}

TEST(RemoveFile, KeepsReadOnlyFilesOnlyWhenAsked)
{
    TestFolder folder;
    const std::wstring path = folder / L"ro.txt";
    WriteBytes(path, "x");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(kr::remove_file(_stringx(path.c_str()), true));
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(kr::remove_file(_stringx(path.c_str()), false));
    EXPECT_FALSE(Exists(path));

    kr::clear_errors();
    EXPECT_FALSE(kr::remove_file(_stringx(path.c_str()), false));
    ASSERT_EQ(kr::state().errors.size(), 1u);
    EXPECT_EQ(kr::state().errors[0].code, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(std::wstring(kr::state().errors[0].path.c_str()), path);
}

TEST(Folders, EachEndsWithOneBackslash)
{
    const _stringx temp = kr::get_temp_path();
    EXPECT_TRUE(temp.ends_with_char(L'\\'));
    EXPECT_FALSE(temp.ends_with(L"\\\\"));
    const _stringx windows = kr::get_windows_folder();
    EXPECT_EQ(std::wstring(kr::get_system_folder(kr::system_folder_sysnative).c_str()),
              std::wstring(windows.c_str()) + L"sysnative\\");
    EXPECT_EQ(std::wstring(kr::get_system_folder(kr::system_folder_syswow64).c_str()),
              std::wstring(windows.c_str()) + L"syswow64\\");
    EXPECT_TRUE(kr::get_system_folder(kr::system_folder_system).ends_with_char(L'\\'));

    const _stringx program_files = kr::get_program_files_folder(kr::program_files_main);
    EXPECT_TRUE(kr::path_test(program_files, kr::path_accept_folder)) << program_files.c_str();
    EXPECT_TRUE(program_files.ends_with_char(L'\\'));
    const _stringx native = kr::get_program_files_folder(kr::program_files_main | kr::program_files_64bit_view);
    EXPECT_TRUE(native.ends_with_char(L'\\'));

    EXPECT_TRUE(kr::get_special_folder(CSIDL_APPDATA).ends_with_char(L'\\'));
    EXPECT_TRUE(kr::get_special_folder(0x7F).empty());
}

} // namespace
