#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "conditions/ConditionKind.h"
#include "conditions/FileProvider.h"
#include "kr/file_system.h"
#include "kr/wow64_redirection.h"
#include "support/ConditionKindTestSupport.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::EvaluateOnce;
using testing_support::FakeEngine;
using testing_support::MakeKind;
using testing_support::TraceCapture;

// A fresh folder under the temporary folder with the files a test writes.
class FileConditions : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"ferro_file_conditions_" + std::to_wstring(GetCurrentProcessId());
        kr::delete_tree(root.c_str(), false);
        ASSERT_TRUE(kr::create_directory_tree(root.c_str()));
    }
    void TearDown() override { kr::delete_tree(root.c_str(), false); }

    std::wstring Folder(const wchar_t* name) const
    {
        const std::wstring folder = root + L"\\" + name;
        kr::create_directory_tree(folder.c_str());
        return folder;
    }
    static void WriteFile(const std::wstring& path, const char* content)
    {
        FILE* file = _wfopen(path.c_str(), L"wb");
        ASSERT_NE(file, nullptr);
        fputs(content, file);
        fclose(file);
    }

    std::wstring root;
    FakeEngine engine;
};

TEST_F(FileConditions, ExistsThroughPathOrSearchPath)
{
    const std::wstring a = Folder(L"A");
    const std::wstring b = Folder(L"B");
    WriteFile(b + L"\\only.txt", "b");
    engine.store.SetAttribute(L"Dirs", (L";" + a + L";;" + b).c_str());
    struct Case {
        std::wstring path;
        std::wstring searchPath;
        bool result;
    };
    const Case cases[] = {
        {b + L"\\only.txt", L"", true},
        {a + L"\\only.txt", L"", false},
        // The search path replaces the path's own folder.
        {L"X:\\nowhere\\only.txt", L"[Dirs]", true},
        {L"X:\\nowhere\\other.txt", L"[Dirs]", false},
        // A folder counts.
        {a, L"", true},
    };
    for (const Case& c : cases) {
        auto condition = MakeKind(ckFileExists, {{L"Path", c.path}, {L"SearchPath", c.searchPath}});
        ASSERT_EQ(condition->Validate(), S_OK);
        const auto evaluation = EvaluateOnce(*condition);
        EXPECT_EQ(evaluation.hr, S_OK);
        EXPECT_EQ(evaluation.result, c.result) << c.path << " in " << c.searchPath;
    }
    EXPECT_EQ(MakeKind(ckFileExists, {{L"SearchPath", a}})->Validate(), E_INVALIDARG);
}

TEST_F(FileConditions, SearchTriesEachFolderInOrder)
{
    const std::wstring a = Folder(L"A");
    const std::wstring b = Folder(L"B");
    WriteFile(a + L"\\same.txt", "from a");
    WriteFile(b + L"\\same.txt", "from b");
    for (const wchar_t* wanted : {L"from a", L"from b"}) {
        auto condition = MakeKind(ckFileValue, {{L"Path", L"same.txt"},
                                                {L"SearchPath", L";" + a + L";;" + b},
                                                {L"Compare", L"Equal"},
                                                {L"CompareTo", wanted}});
        ASSERT_EQ(condition->Validate(), S_OK);
        EXPECT_TRUE(EvaluateOnce(*condition).result) << wanted;
    }
}

TEST_F(FileConditions, PathFollowsItsProperty)
{
    const std::wstring a = Folder(L"A");
    WriteFile(a + L"\\one.txt", "1");
    auto condition = MakeKind(ckFileExists, {{L"Path", a + L"\\[File]"}});
    ASSERT_EQ(condition->Validate(), S_OK);
    engine.store.SetAttribute(L"File", L"one.txt");
    EXPECT_TRUE(EvaluateOnce(*condition).result);
    engine.store.SetAttribute(L"File", L"two.txt");
    EXPECT_FALSE(EvaluateOnce(*condition).result);
}

TEST_F(FileConditions, ValueOfContentVersionAndTime)
{
    const std::wstring file = Folder(L"A") + L"\\plain.txt";
    WriteFile(file, "Hello World");

    // Written at 10:15:30.750 UTC; read as the local time of 10:15:30.000.
    SYSTEMTIME stamp = {2024, 3, 0, 5, 10, 15, 30, 750};
    FILETIME written = {};
    ASSERT_TRUE(SystemTimeToFileTime(&stamp, &written));
    HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &written));
    CloseHandle(handle);
    stamp.wMilliseconds = 0;
    FILETIME whole = {};
    FILETIME local = {};
    SystemTimeToFileTime(&stamp, &whole);
    FileTimeToLocalFileTime(&whole, &local);
    const ULONGLONG expected = static_cast<ULONGLONG>(local.dwHighDateTime) << 32 | local.dwLowDateTime;
    EXPECT_EQ(FileProvider(file.c_str(), false).GetData(fdkLastWriteTime), expected);
    EXPECT_EQ(FileProvider(file.c_str(), false).GetData(fdkSize), 11u);
    EXPECT_EQ(FileProvider(file.c_str(), false).GetVersion(), L"");

    SYSTEMTIME localTime = {};
    FileTimeToSystemTime(&local, &localTime);
    wchar_t localText[40] = {};
    swprintf(localText, 40, L"%04u-%02u-%02u %02u:%02u:%02u", localTime.wYear, localTime.wMonth, localTime.wDay,
             localTime.wHour, localTime.wMinute, localTime.wSecond);

    struct Case {
        const wchar_t* convert;
        const wchar_t* compare;
        std::wstring compareTo;
        bool result;
    };
    const Case cases[] = {
        {L"String", L"Contains", L"world", true},
        {L"Content", L"Equal", L"Hello", false},
        // No version information compares as 0.0.0.0.
        {L"Version", L"Equal", L"0.0.0.0", true},
        {L"Version", L"LessThan", L"0.0.0.1", true},
        {L"LocalDateTime", L"Equal", localText, true},
    };
    for (const Case& c : cases) {
        auto condition = MakeKind(ckFileValue, {{L"Path", file},
                                                {L"Convert", c.convert},
                                                {L"Compare", c.compare},
                                                {L"CompareTo", c.compareTo}});
        ASSERT_EQ(condition->Validate(), S_OK) << c.convert;
        const auto evaluation = EvaluateOnce(*condition);
        EXPECT_EQ(evaluation.hr, S_OK);
        EXPECT_EQ(evaluation.result, c.result) << c.convert << " " << c.compare << " " << c.compareTo;
    }
}

TEST_F(FileConditions, ValueFailuresAnswerFalse)
{
    const std::wstring file = Folder(L"A") + L"\\plain.txt";
    WriteFile(file, "text");
    TraceCapture trace;
    auto condition = MakeKind(ckFileValue, {{L"Path", file},
                                            {L"Convert", L"Version"},
                                            {L"Compare", L"Equal"},
                                            {L"CompareTo", L"not a version"}});
    ASSERT_EQ(condition->Validate(), S_OK);
    const auto evaluation = EvaluateOnce(*condition);
    EXPECT_EQ(evaluation.hr, S_OK);
    EXPECT_FALSE(evaluation.result);
    EXPECT_NE(trace.Messages().find(L"File value: failure to convert value (80020005)"), std::wstring::npos);

    // A missing file reads as empty content and no times.
    EXPECT_EQ(FileProvider((file + L".none").c_str(), false).GetContent(), L"");
    EXPECT_EQ(FileProvider((file + L".none").c_str(), false).GetData(fdkLastWriteTime), 0u);
    EXPECT_NE(trace.Messages().find(L"FileProvider: exception result 80070002 attempting to get data for"),
              std::wstring::npos);

    struct Invalid {
        testing_support::AttributeList attributes;
        const wchar_t* line;
    };
    const Invalid invalid[] = {
        {{{L"Convert", L"DWORD"}}, L"File value: invalid type conversion/not supported (80070057)"},
        {{{L"Compare", L"Bigger"}}, L"File value: invalid comparator (80070057)"},
        {{{L"Compare", L"Equal"}}, L"File value: invalid file info (80070057)"},
        {{{L"Compare", L"Equal"}, {L"Path", L"x"}}, L"File value: no comparison value provided"},
    };
    for (const Invalid& c : invalid) {
        TraceCapture lines;
        EXPECT_EQ(MakeKind(ckFileValue, c.attributes)->Validate(), E_INVALIDARG) << c.line;
        EXPECT_NE(lines.Messages().find(c.line), std::wstring::npos) << c.line;
    }
}

TEST_F(FileConditions, RedirectionIsRestoredAfterEveryRead)
{
    const std::wstring missing = root + L"\\missing.txt";
    const FileProvider provider(missing.c_str(), true);
    provider.GetContent();
    provider.GetData(fdkSize);
    provider.GetVersion();
    EXPECT_EQ(kr::wow64_redirection_depth(), 0u);
}

// A 32-bit process sees syswow64 under the name system32 unless the 64-bit flag is set.
TEST_F(FileConditions, SixtyFourBitFlagReadsSystem32)
{
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring system32 = std::wstring(windows) + L"\\system32\\";
    const std::wstring name = L"ferro_condition_probe.txt";
    ASSERT_TRUE(kr::wow64_redirection(false));
    WriteFile(system32 + name, "native");
    kr::wow64_redirection(true);
    WriteFile(system32 + name, "redirected");
    engine.store.SetAttribute(L"System64Folder", system32.c_str());

    auto flagged = MakeKind(ckFileValue, {{L"Path", L"[System64Folder]" + name},
                                          {L"Compare", L"Equal"},
                                          {L"CompareTo", L"native"}});
    ASSERT_EQ(flagged->Validate(), S_OK);
    EXPECT_TRUE(EvaluateOnce(*flagged).result);
    EXPECT_EQ(FileProvider((system32 + name).c_str(), true).GetContent(), L"native");
    EXPECT_EQ(FileProvider((system32 + name).c_str(), false).GetContent(), L"redirected");

    DeleteFileW((system32 + name).c_str());
    kr::wow64_redirection(false);
    DeleteFileW((system32 + name).c_str());
    kr::wow64_redirection(true);
}

} // namespace
