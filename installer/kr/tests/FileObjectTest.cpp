#include "kr/file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "TestFolder.h"
#include "kr/win32_exception.h"

#include <winioctl.h>

namespace {

struct Encoded {
    const char* name;
    std::string bytes;
    int code_page;
    bool mark;
    std::wstring text;
};

TEST(FileObject, ReadsTextInTheEncodingOfItsMark)
{
    TestFolder folder;
    const Encoded cases[] = {
        {"utf16le", std::string("\xFF\xFE" "a\0\xE9\0", 6), kr::code_page_utf16le, true, L"a\u00e9"},
        {"utf16be", std::string("\xFE\xFF\0a\0\xE9", 6), kr::code_page_utf16be, true, L"a\u00e9"},
        {"utf8", "\xEF\xBB\xBF" "a\xC3\xA9", kr::code_page_utf8, true, L"a\u00e9"},
        {"ansi", "plain", kr::code_page_ansi, false, L"plain"},
        {"one byte", "x", kr::code_page_ansi, false, L"x"},
        {"empty", "", kr::code_page_ansi, false, L""},
        {"mark only", "\xFF\xFE", kr::code_page_utf16le, true, L""},
    };
    for (const Encoded& c : cases) {
        const std::wstring path = folder / L"text.txt";
        WriteBytes(path, c.bytes);
        _stringx text(L"stale");
        int code_page = -1;
        bool mark = false;
        ASSERT_EQ(kr::read_text_file_into(_stringx(path.c_str()), text, &code_page, &mark), 0u) << c.name;
        EXPECT_EQ(code_page, c.code_page) << c.name;
        EXPECT_EQ(mark, c.mark) << c.name;
        EXPECT_EQ(std::wstring(text.c_str(), text.length()), c.text) << c.name;
    }
}

TEST(FileObject, CodePageOfAMarkCannotBeChanged)
{
    TestFolder folder;
    const std::wstring path = folder / L"le.txt";
    WriteBytes(path, std::string("\xFF\xFE" "o\0k\0", 6));
    int code_page = 1252;
    _stringx text;
    ASSERT_EQ(kr::read_text_file_into(_stringx(path.c_str()), text, &code_page), 0u);
    EXPECT_EQ(code_page, kr::code_page_utf16le);
    EXPECT_EQ(std::wstring(text.c_str()), L"ok");

    WriteBytes(path, "a\xC3\xA9");
    code_page = kr::code_page_utf8;
    ASSERT_EQ(kr::read_text_file_into(_stringx(path.c_str()), text, &code_page), 0u);
    EXPECT_EQ(std::wstring(text.c_str()), L"a\u00e9");
}

TEST(FileObject, OpenReportsTheWindowsError)
{
    TestFolder folder;
    kr::file f;
    EXPECT_EQ(f.open(_stringx((folder / L"missing.txt").c_str()), GENERIC_READ, 0, FILE_ATTRIBUTE_NORMAL,
                     OPEN_EXISTING),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(f.is_open());
    _stringx text(L"x");
    EXPECT_EQ(kr::read_text_file_into(_stringx((folder / L"missing.txt").c_str()), text),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(kr::read_text_file(_stringx((folder / L"missing.txt").c_str())).empty());
}

TEST(FileObject, WritesEncodedTextWithTheMarkItAsksFor)
{
    TestFolder folder;
    struct Case {
        int code_page;
        bool mark;
        std::string bytes;
    };
    const Case cases[] = {
        {kr::code_page_utf16le, true, std::string("\xFF\xFE" "a\0\xE9\0", 6)},
        {kr::code_page_utf16be, true, std::string("\xFE\xFF\0a\0\xE9", 6)},
        {kr::code_page_utf8, true, "\xEF\xBB\xBF" "a\xC3\xA9"},
        {kr::code_page_utf8, false, "a\xC3\xA9"},
        {1252, true, "a\xE9"},
    };
    for (const Case& c : cases) {
        const std::wstring path = folder / L"out.txt";
        kr::file f;
        ASSERT_EQ(f.open(_stringx(path.c_str()), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS), 0u);
        ASSERT_TRUE(f.set_code_page(c.code_page));
        f.set_byte_order_mark(c.mark);
        f.write_byte_order_mark();
        f.write_text(L"a\u00e9");
        f.write_text(L"");
        f.close();
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.code_page;
    }
}

TEST(FileObject, CopiesShareTheHandleUntilTheLastClose)
{
    TestFolder folder;
    const std::wstring path = folder / L"shared.bin";
    WriteBytes(path, "0123456789");
    kr::file first;
    ASSERT_EQ(first.open(_stringx(path.c_str()), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING),
              0u);
    kr::file second(first);
    EXPECT_EQ(first.handle(), second.handle());
    first.close();
    EXPECT_FALSE(first.is_open());
    char bytes[4] = {};
    EXPECT_EQ(second.read(bytes, 4), 4u);
    EXPECT_EQ(std::string(bytes, 4), "0123");
    EXPECT_EQ(second.read(bytes, static_cast<DWORD>(-1)), 1u);
    EXPECT_EQ(bytes[0], '4');
    EXPECT_EQ(second.size64(), 10u);
    std::unique_ptr<BYTE[]> all;
    EXPECT_EQ(second.read_all(all), 10u);
    EXPECT_EQ(all[10], 0);
    EXPECT_EQ(all[11], 0);
    second.close();
}

TEST(FileObject, FailuresAfterOpenThrowWithThePath)
{
    TestFolder folder;
    const std::wstring path = folder / L"read-only-handle.bin";
    WriteBytes(path, "abc");
    kr::file f;
    ASSERT_EQ(f.open(_stringx(path.c_str()), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING), 0u);
    try {
        f.write("x", 1);
        FAIL() << "no exception";
    } catch (const kr::file_exception& failure) {
        EXPECT_EQ(std::wstring(failure.path().c_str()), path);
        EXPECT_NE(failure.code(), 0u);
    }

    WIN32_FIND_DATAW data = {};
    EXPECT_THROW(kr::find_first_file(_stringx((folder / L"none.*").c_str()), data), kr::file_exception);
    kr::find_first_file(_stringx(path.c_str()), data);
    EXPECT_EQ(std::wstring(data.cFileName), L"read-only-handle.bin");
}

} // namespace

namespace {

// A sparse file of the given size: no disk space is taken for its zeros.
void MakeSparseFile(const std::wstring& path, ULONGLONG size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    EXPECT_TRUE(SetEndOfFile(file));
    CloseHandle(file);
}

} // namespace

// The count and its two zero bytes must fit in 32 bits: 4 GiB - 2 bytes would
// allocate nothing and read past it, a larger file would read as its low half.
TEST(FileObject, ReadAllRefusesWhatThirtyTwoBitsCannotHold)
{
    TestFolder folder;
    const ULONGLONG sizes[] = {0xFFFFFFFEull, 0x100000005ull};
    for (const ULONGLONG size : sizes) {
        const std::wstring path = folder / L"sparse.bin";
        MakeSparseFile(path, size);
        kr::file f;
        ASSERT_EQ(f.open(_stringx(path.c_str()), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING),
                  0u);
        std::unique_ptr<BYTE[]> buffer;
        try {
            f.read_all(buffer);
            ADD_FAILURE() << "read_all took " << size << " bytes";
        } catch (const kr::file_exception& failure) {
            EXPECT_EQ(failure.code(), static_cast<DWORD>(ERROR_FILE_TOO_LARGE)) << size;
            EXPECT_STREQ(failure.path().c_str(), path.c_str());
        }
        EXPECT_EQ(buffer, nullptr);
        f.close();
        DeleteFileW(path.c_str());
    }
}
