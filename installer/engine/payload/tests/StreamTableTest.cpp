// The table of a setup stream: formats, lookups without regard to case, and
// headers or tables that are damaged.

#include "PayloadFixtures.h"

#include "payload/Stream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void PutDword(std::string& bytes, size_t at, DWORD value)
{
    std::memcpy(bytes.data() + at, &value, sizeof(value));
}

// A copy of a fixture program with its bytes changed by edit.
template <class Edit>
std::wstring EditedCopy(const TempFolder& folder, const wchar_t* fixture, Edit edit)
{
    std::string bytes = ReadBytes(FixturePath(fixture));
    edit(bytes);
    const std::wstring copy = folder.file(L"edited.exe");
    EXPECT_TRUE(WriteBytes(copy, bytes));
    return copy;
}

} // namespace

TEST(StreamTable, EveryFormatReadsTheWholeTable)
{
    const size_t entries = ReadManifest(L"matrix.list").size();
    ASSERT_EQ(42u, entries);
    for (DWORD format : {1u, 2u, 3u}) {
        SCOPED_TRACE(format);
        STREAM stream(FixturePath(L"matrix-f" + std::to_wstring(format) + L".exe").c_str());
        EXPECT_TRUE(stream.is_open());
        EXPECT_TRUE(stream.has_header());
        EXPECT_EQ(format, stream.format());
        EXPECT_EQ(format == 1 ? STREAM::entry_size_v1 : STREAM::entry_size_v2, stream.entry_size());
        EXPECT_EQ(entries, stream.files().size());
        EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), stream.last_error());

        const StreamFileEntry* entry = nullptr;
        DWORD data_offset = 0;
        ASSERT_TRUE(stream.FindStreamFile(L"ZLIB-BLOCKS-1025.BIN", entry, data_offset));
        EXPECT_EQ(L"zlib-blocks-1025.bin", std::wstring(entry->name.c_str()));
        EXPECT_EQ(data_offset, entry->data_offset);
        EXPECT_EQ(format, entry->format);
        EXPECT_NE(0, entry->compression);
        EXPECT_EQ(STREAM_FLAG_SCRAMBLED_BLOCKS, entry->flags);
        ASSERT_TRUE(stream.FindStreamFile(L"GR\u00f6\u00dfE-STORED-WHOLE.TXT", entry, data_offset));
        EXPECT_EQ(STREAM_FLAG_SCRAMBLED_WHOLE, entry->flags);
        EXPECT_EQ(3000u, entry->kept_first);   // the packer keeps the original size there
        EXPECT_FALSE(stream.FindStreamFile(L"zlib-blocks-1026.bin", entry, data_offset));
    }
}

TEST(StreamTable, FirstOfTwoNamesThatDifferInCaseWins)
{
    STREAM stream(FixturePath(L"cases-zlib.exe").c_str());
    EXPECT_EQ(2u, stream.files().size());
    TempFolder folder;
    for (const wchar_t* name : {L"setup.xml", L"SETUP.XML", L"Setup.Xml"}) {
        ASSERT_EQ(1, stream.ExtractStreamFile(name, folder.file(L"setup.xml").c_str(), nullptr));
        EXPECT_EQ("<first/>", ReadBytes(folder.file(L"setup.xml")));
    }
}

TEST(StreamTable, NoContainerUnderEitherRule)
{
    TempFolder folder;
    const std::wstring image = BinPath(L"payload_probe.exe");
    const DWORD image_end = static_cast<DWORD>(FileSize(image));
    struct {
        const char* what;
        std::wstring program;
    } cases[] = {
        {"no entries", FixturePath(L"empty.exe")},
        {"format number 0", EditedCopy(folder, L"single.exe", [&](std::string& b) { PutDword(b, image_end + 16, 0); })},
        {"bare program", image},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        STREAM stream(c.program.c_str());
        EXPECT_TRUE(stream.is_open());
        EXPECT_EQ(3u, stream.format());
        EXPECT_FALSE(stream.has_header());
        EXPECT_TRUE(stream.files().empty());
        TempFolder out;
        EXPECT_EQ(0, stream.ExtractStreamFile(L"setup.xml", out.file(L"setup.xml").c_str(), nullptr));
        EXPECT_FALSE(FileExists(out.file(L"setup.xml")));
    }
}

TEST(StreamTable, MissingProgramFile)
{
    STREAM stream(FixturePath(L"no-such-program.exe").c_str());
    EXPECT_FALSE(stream.is_open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), stream.last_error());
    EXPECT_TRUE(stream.files().empty());
    const StreamFileEntry* entry = nullptr;
    DWORD data_offset = 0;
    EXPECT_FALSE(stream.FindStreamFile(L"setup.xml", entry, data_offset));
}

TEST(StreamTable, DamagedTableKeepsTheEntriesReadBeforeIt)
{
    TempFolder folder;
    const DWORD image_end = static_cast<DWORD>(FileSize(BinPath(L"payload_probe.exe")));
    const DWORD first_entry = image_end + STREAM::header_size;
    const DWORD second_entry = first_entry + STREAM::entry_size_v2 + 2 * 9 + 8;   // "setup.xml", "<first/>"

    // The second entry's name claims more bytes than the file holds.
    {
        STREAM stream(EditedCopy(folder, L"cases-zlib.exe", [&](std::string& b) {
                          PutDword(b, second_entry, 0x7FFFFFF0);
                      }).c_str());
        EXPECT_EQ(1u, stream.files().size());
        EXPECT_EQ(1u, stream.files().count(L"setup.xml"));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), stream.last_error());
    }
    // The file ends inside the second entry's header.
    {
        STREAM stream(EditedCopy(folder, L"cases-zlib.exe", [&](std::string& b) {
                          b.resize(second_entry + 10);
                      }).c_str());
        EXPECT_EQ(1u, stream.files().size());
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_ITEMS), stream.last_error());
        ASSERT_EQ(1, stream.ExtractStreamFile(L"setup.xml", folder.file(L"setup.xml").c_str(), nullptr));
        EXPECT_EQ("<first/>", ReadBytes(folder.file(L"setup.xml")));
    }
}
