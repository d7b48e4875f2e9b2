#include "kr/copy_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFolder.h"
#include "kr/library_state.h"

namespace {

struct Call {
    DWORD code;
    std::wstring text;
    ULONGLONG number;
};

// Records every call-back and answers from a script: (code, nth time) -> answer.
struct Recorder {
    std::vector<Call> calls;
    DWORD cancel_code = ~0u;
    int cancel_at = 0;
    int repeat_finished = 0;

    static DWORD CALLBACK Callback(void* context, DWORD code, const wchar_t* text, DWORD low, DWORD high)
    {
        auto* self = static_cast<Recorder*>(context);
        self->calls.push_back({code, text ? text : L"", (static_cast<ULONGLONG>(high) << 32) | low});
        if (code == self->cancel_code && --self->cancel_at == 0)
            return kr::copy_answer_cancel;
        if (code == kr::copy_finished && self->repeat_finished > 0) {
            --self->repeat_finished;
            return kr::copy_answer_repeat;
        }
        return 0;
    }

    std::vector<DWORD> Codes() const
    {
        std::vector<DWORD> codes;
        for (const Call& call : calls)
            codes.push_back(call.code);
        return codes;
    }
};

class FileCopy : public ::testing::Test {
protected:
    void SetUp() override { kr::set_copy_progress_callback(&Recorder::Callback, &recorder); }
    void TearDown() override { kr::set_copy_progress_callback(nullptr, nullptr); }


    Recorder recorder;
    TestFolder folder;
};

TEST_F(FileCopy, CallBacksInOrderWithChunkCounts)
{
    const std::string content(10000, 'q');
    WriteBytes(folder / L"src.bin", content);
    const std::wstring target = folder / L"new\\dir\\dst.bin";
    ASSERT_TRUE(kr::copy_file(_stringx((folder / L"src.bin").c_str()), _stringx(target.c_str()), 4096, false));
    EXPECT_EQ(ReadBytes(target), content);
    EXPECT_EQ(kr::last_result(), 0u);

    const std::vector<DWORD> expected = {6, 5, 7, 0, 4, 4, 4, 1};
    ASSERT_EQ(recorder.Codes(), expected);
    EXPECT_EQ(recorder.calls[0].text, folder / L"src.bin");
    EXPECT_EQ(recorder.calls[1].text, target);
    EXPECT_EQ(recorder.calls[0].number, ~0ULL);
    EXPECT_EQ(recorder.calls[2].number, 10000u);
    EXPECT_EQ(recorder.calls[3].number, ~0ULL);
    EXPECT_EQ(recorder.calls[4].number, 4096u);
    EXPECT_EQ(recorder.calls[5].number, 8192u);
    EXPECT_EQ(recorder.calls[6].number, 10000u);
    EXPECT_EQ(recorder.calls[7].number, 10000u);
    EXPECT_EQ(FilesIn(folder / L"new\\dir"), 1u);
}

TEST_F(FileCopy, RepeatAnswerCopiesAgainWithoutRepeatingThePaths)
{
    WriteBytes(folder / L"src.bin", "abc");
    recorder.repeat_finished = 1;
    ASSERT_TRUE(kr::copy_file(_stringx((folder / L"src.bin").c_str()), _stringx((folder / L"dst.bin").c_str()),
                              kr::copy_chunk_size, false));
    const std::vector<DWORD> expected = {6, 5, 7, 0, 4, 1, 7, 0, 4, 1};
    EXPECT_EQ(recorder.Codes(), expected);
    EXPECT_EQ(ReadBytes(folder / L"dst.bin"), "abc");
    EXPECT_EQ(FilesIn(folder.path()), 2u);
}

TEST_F(FileCopy, CancelLeavesNoPartialTargetAndKeepsTheOldOne)
{
    WriteBytes(folder / L"src.bin", std::string(9000, 'n'));
    WriteBytes(folder / L"dst.bin", "old");
    for (const DWORD code : {DWORD{kr::copy_target_opened}, DWORD{kr::copy_chunk_written}}) {
        recorder.calls.clear();
        recorder.cancel_code = code;
        recorder.cancel_at = code == kr::copy_chunk_written ? 2 : 1;
        EXPECT_FALSE(kr::copy_file(_stringx((folder / L"src.bin").c_str()), _stringx((folder / L"dst.bin").c_str()),
                                   1000, false));
        EXPECT_EQ(ReadBytes(folder / L"dst.bin"), "old");
        EXPECT_EQ(FilesIn(folder.path()), 2u);
    }
    // A cancel during the chunks is reported as a failed copy.
    EXPECT_EQ(recorder.Codes().back(), static_cast<DWORD>(kr::copy_failed));
    EXPECT_EQ(recorder.calls.back().number, 2000u);
}

TEST_F(FileCopy, MissingSourceNamesTheSource)
{
    const std::wstring source = folder / L"missing.bin";
    EXPECT_FALSE(kr::copy_file(_stringx(source.c_str()), _stringx((folder / L"dst.bin").c_str()), 4096, false));
    EXPECT_EQ(kr::last_result(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), source);
    EXPECT_FALSE(Exists(folder / L"dst.bin"));
    EXPECT_EQ((std::vector<DWORD>{6, 5}), recorder.Codes());
}

TEST_F(FileCopy, TargetFolderThatCannotBeMade)
{
    WriteBytes(folder / L"src.bin", "x");
    const std::wstring unreachable = L"Q:\\kr\\dst.bin";
    EXPECT_FALSE(kr::copy_file(_stringx((folder / L"src.bin").c_str()), _stringx(unreachable.c_str()), 4096, false));
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), unreachable);
    EXPECT_NE(kr::last_result(), 0u);

    // A file where the folder should be: the folder test fails without a record.
    WriteBytes(folder / L"blocker", "x");
    EXPECT_FALSE(kr::copy_file(_stringx((folder / L"src.bin").c_str()), _stringx((folder / L"blocker\\dst.bin").c_str()),
                               4096, false));
    EXPECT_EQ(kr::last_result(), 0u);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(FileCopy, CopiesTheTimesWhenAsked)
{
    const std::wstring source = folder / L"src.bin";
    WriteBytes(source, "t");
    HANDLE file = CreateFileW(source.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME when = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME stamp = {};
    SystemTimeToFileTime(&when, &stamp);
    ASSERT_TRUE(SetFileTime(file, &stamp, &stamp, &stamp));
    CloseHandle(file);

    kr::set_copy_progress_callback(nullptr, nullptr);
    ASSERT_TRUE(kr::copy_file(_stringx(source.c_str()), _stringx((folder / L"with.bin").c_str()), 4096, true));
    ASSERT_TRUE(kr::copy_file(_stringx(source.c_str()), _stringx((folder / L"without.bin").c_str()), 4096, false));
    WIN32_FILE_ATTRIBUTE_DATA with = {}, without = {};
    GetFileAttributesExW((folder / L"with.bin").c_str(), GetFileExInfoStandard, &with);
    GetFileAttributesExW((folder / L"without.bin").c_str(), GetFileExInfoStandard, &without);
    EXPECT_EQ(CompareFileTime(&with.ftLastWriteTime, &stamp), 0);
    EXPECT_EQ(CompareFileTime(&with.ftCreationTime, &stamp), 0);
    EXPECT_NE(CompareFileTime(&without.ftLastWriteTime, &stamp), 0);
}

} // namespace
