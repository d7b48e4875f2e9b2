// Where the container begins: the end of the image as its PE headers describe
// it, read from synthetic images and from the probe program.

#include "PayloadFixtures.h"

#include "payload/PayloadOffset.h"
#include "payload/Stream.h"

#include <gtest/gtest.h>

namespace {

struct offset_case {
    const wchar_t* image;
    DWORD offset;
};

// Headers 0x400 and sections of 0x200 raw bytes each (make-fixtures.pl).
const offset_case kOffsets[] = {
    {L"plain-packed.exe", 0x800},          // .text and .rdata, no debug directory
    {L"debug-rdata-packed.exe", 0x860},    // one of two debug entries lies behind the sections
    {L"debug-section-packed.exe", 0xA30},  // the directory starts a section named ".DEBUG"
    {L"debug-text-packed.exe", 0x610},     // no .rdata: the directory is found in .text
    {L"debug-below-packed.exe", 0x800},    // the directory's address lies before .rdata
};

} // namespace

TEST(PayloadOffset, ImageEndFromTheHeaders)
{
    for (const offset_case& c : kOffsets) {
        SCOPED_TRACE(testing::Message() << std::string(c.image, c.image + wcslen(c.image)));
        const std::wstring path = FixturePath(c.image);
        EXPECT_EQ(c.offset, FindPayloadOffset(path.c_str(), true));
        EXPECT_EQ(c.offset, FindPayloadOffset(path.c_str(), false));

        STREAM stream(path.c_str());
        EXPECT_EQ(c.offset, stream.offset());
        const StreamFileEntry* entry = nullptr;
        DWORD data_offset = 0;
        ASSERT_TRUE(stream.FindStreamFile(L"setup.xml", entry, data_offset));
        EXPECT_EQ(c.offset + STREAM::header_size + STREAM::entry_size_v2 + 2 * 9, data_offset);
    }
}

TEST(PayloadOffset, FilesThatAreNoImage)
{
    for (const wchar_t* name : {L"not-mz.exe", L"bad-signature.exe", L"short-headers.exe"}) {
        SCOPED_TRACE(testing::Message() << std::string(name, name + wcslen(name)));
        const std::wstring path = FixturePath(name);
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(0u, FindPayloadOffset(path.c_str(), true));
        EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());

        STREAM stream(path.c_str());
        EXPECT_TRUE(stream.is_open());
        EXPECT_TRUE(stream.files().empty());
        const StreamFileEntry* entry = nullptr;
        DWORD data_offset = 0;
        EXPECT_FALSE(stream.FindStreamFile(L"setup.xml", entry, data_offset));
    }
    EXPECT_EQ(0u, FindPayloadOffset(FixturePath(L"no-such-file.exe").c_str(), true));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// A program signed after the payload was appended keeps its container at the
// image end; one signed before has the certificate between image and container.
TEST(PayloadOffset, CertificateRules)
{
    const auto image_end = static_cast<DWORD>(FileSize(BinPath(L"payload_probe.exe")));
    const DWORD certificate = 512;
    ASSERT_NE(0u, image_end);

    const std::wstring behind = FixturePath(L"cert-behind.exe");
    EXPECT_EQ(image_end, FindPayloadOffset(behind.c_str(), true));
    EXPECT_EQ(image_end + certificate, FindPayloadOffset(behind.c_str(), false));
    STREAM signed_after(behind.c_str());
    EXPECT_EQ(image_end, signed_after.offset());
    EXPECT_EQ(1u, signed_after.files().count(L"setup.xml"));

    const std::wstring between = FixturePath(L"cert-between.exe");
    EXPECT_EQ(image_end, FindPayloadOffset(between.c_str(), true));
    EXPECT_EQ(image_end + certificate, FindPayloadOffset(between.c_str(), false));
    STREAM signed_before(between.c_str());
    EXPECT_EQ(image_end + certificate, signed_before.offset());
    EXPECT_TRUE(signed_before.has_header());
    EXPECT_EQ(1u, signed_before.files().count(L"setup.xml"));
}
