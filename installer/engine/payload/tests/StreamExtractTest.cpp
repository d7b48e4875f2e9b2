// Extraction of single files: every format, compression and scrambling mode
// over the sizes around the scrambling block, progress and cancel, and entries
// cut short.

#include "PayloadFixtures.h"

#include "payload/Stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class recorded_progress : public IStreamProgress {
public:
    explicit recorded_progress(size_t cancel_at = static_cast<size_t>(-1)) : cancel_at_(cancel_at) {}

    bool OnProgress(DWORD done, DWORD total) override
    {
        calls.push_back({done, total});
        return calls.size() - 1 == cancel_at_;
    }

    std::vector<std::pair<DWORD, DWORD>> calls;

private:
    size_t cancel_at_;
};

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

// A copy of a fixture program without its last bytes.
std::wstring CutCopy(const TempFolder& folder, const wchar_t* fixture, size_t cut)
{
    std::string bytes = ReadBytes(FixturePath(fixture));
    bytes.resize(bytes.size() - cut);
    const std::wstring copy = folder.file(L"cut.exe");
    EXPECT_TRUE(WriteBytes(copy, bytes));
    return copy;
}

} // namespace

TEST(StreamExtract, EveryEntryOfEveryFormatIsByteExact)
{
    const std::vector<ManifestEntry> entries = ReadManifest(L"matrix.list");
    ASSERT_FALSE(entries.empty());
    for (int format : {1, 2, 3}) {
        STREAM stream(FixturePath(L"matrix-f" + std::to_wstring(format) + L".exe").c_str());
        TempFolder folder;
        for (const ManifestEntry& entry : entries) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", " << Narrow(entry.name));
            const std::wstring target = folder.file(L"extracted.bin");
            ASSERT_EQ(1, stream.ExtractStreamFile(entry.name.c_str(), target.c_str(), nullptr));
            EXPECT_EQ(ReadBytes(entry.file), ReadBytes(target));
        }
    }
}

TEST(StreamExtract, ReplacesAnExistingFile)
{
    STREAM stream(FixturePath(L"matrix-f3.exe").c_str());
    TempFolder folder;
    const std::wstring target = folder.file(L"out.bin");
    ASSERT_TRUE(WriteBytes(target, std::string(5000, 'q')));
    ASSERT_EQ(1, stream.ExtractStreamFile(L"stored-none-1.bin", target.c_str(), nullptr));
    EXPECT_EQ(1u, FileSize(target));
    ASSERT_EQ(1, stream.ExtractStreamFile(L"zlib-whole-0.bin", target.c_str(), nullptr));
    EXPECT_EQ(0u, FileSize(target));
}

TEST(StreamExtract, StoredCopyReportsEveryPiece)
{
    STREAM stream(FixturePath(L"matrix-f2.exe").c_str());
    TempFolder folder;
    recorded_progress progress;
    ASSERT_EQ(1, stream.ExtractStreamFile(L"stored-blocks-1025.bin", folder.file(L"out.bin").c_str(), &progress));
    const std::vector<std::pair<DWORD, DWORD>> expected = {{0, 1025}, {1024, 1025}, {1025, 1025}};
    EXPECT_EQ(expected, progress.calls);
}

TEST(StreamExtract, InflationReportsUpToTheStoredSize)
{
    STREAM stream(FixturePath(L"matrix-f3.exe").c_str());
    const StreamFileEntry* entry = nullptr;
    DWORD data_offset = 0;
    ASSERT_TRUE(stream.FindStreamFile(L"zlib-none-70000.bin", entry, data_offset));
    TempFolder folder;
    recorded_progress progress;
    ASSERT_EQ(1, stream.ExtractEntry(*entry, data_offset, folder.file(L"out.bin").c_str(), &progress));
    ASSERT_GE(progress.calls.size(), 2u);
    EXPECT_EQ(std::make_pair(DWORD{0}, entry->stored_size), progress.calls.front());
    EXPECT_EQ(std::make_pair(entry->stored_size, entry->stored_size), progress.calls.back());
    for (size_t i = 1; i < progress.calls.size(); ++i)
        EXPECT_LE(progress.calls[i - 1].first, progress.calls[i].first);
}

TEST(StreamExtract, CancelAtTheFirstCallLeavesNoFile)
{
    STREAM stream(FixturePath(L"matrix-f3.exe").c_str());
    TempFolder folder;
    for (const wchar_t* name : {L"stored-none-70000.bin", L"zlib-blocks-70000.bin"}) {
        recorded_progress progress(0);
        EXPECT_EQ(0, stream.ExtractStreamFile(name, folder.file(L"out.bin").c_str(), &progress));
        EXPECT_EQ(1u, progress.calls.size());
        EXPECT_FALSE(FileExists(folder.file(L"out.bin")));
    }
}

TEST(StreamExtract, CancelDuringACopyFails)
{
    STREAM stream(FixturePath(L"matrix-f3.exe").c_str());
    TempFolder folder;
    recorded_progress progress(3);
    EXPECT_EQ(0, stream.ExtractStreamFile(L"stored-none-70000.bin", folder.file(L"out.bin").c_str(), &progress));
    EXPECT_EQ(4u, progress.calls.size());
}

TEST(StreamExtract, EntriesCutShortFail)
{
    TempFolder folder;
    {
        SCOPED_TRACE("zlib");
        STREAM stream(CutCopy(folder, L"cases-zlib.exe", 100).c_str());
        EXPECT_EQ(0, stream.ExtractStreamFile(L"tail.bin", folder.file(L"tail.bin").c_str(), nullptr));
    }
    {
        // A short stored copy is a failure, not a shorter file.
        SCOPED_TRACE("stored");
        STREAM stream(CutCopy(folder, L"cases-stored.exe", 100).c_str());
        EXPECT_EQ(0, stream.ExtractStreamFile(L"tail.bin", folder.file(L"tail.bin").c_str(), nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_HANDLE_EOF), stream.last_error());
    }
}

TEST(StreamExtract, TargetFolderMustExist)
{
    STREAM stream(FixturePath(L"matrix-f3.exe").c_str());
    TempFolder folder;
    for (const wchar_t* name : {L"stored-none-1.bin", L"zlib-none-1.bin"}) {
        EXPECT_EQ(0, stream.ExtractStreamFile(name, folder.file(L"missing\\out.bin").c_str(), nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), stream.last_error());
    }
}

// The probe finds the payload behind its own image, as the launcher does.
TEST(StreamExtract, ProgramExtractsFromItsOwnFile)
{
    TempFolder folder;
    const std::wstring target = folder.file(L"extracted.txt");
    const std::wstring program = FixturePath(L"matrix-f3.exe");
    EXPECT_EQ(0u, RunProgram(program, {L"Gr\u00f6\u00dfe-zlib-blocks.txt", target}));
    EXPECT_EQ(ReadBytes(FixturePath(L"files\\umlaut-zlib-blocks.txt")), ReadBytes(target));
    EXPECT_EQ(1u, RunProgram(program, {L"absent.txt", target}));
}
