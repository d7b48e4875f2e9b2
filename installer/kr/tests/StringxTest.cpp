#include "kr/stringx.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

std::wstring W(const _stringx& s)
{
    return std::wstring(s.c_str(), s.length());
}

std::wstring W(const _wstringx& s)
{
    return std::wstring(s.c_str(), s.length());
}

int Sign(int value)
{
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

TEST(Stringx, NullAndEmptyConstruction)
{
    const wchar_t* none = nullptr;
    const char* no_bytes = nullptr;
    EXPECT_TRUE(_stringx(none).empty());
    EXPECT_TRUE(_stringx(none, 5).empty());
    EXPECT_TRUE(_stringx(no_bytes).empty());
    EXPECT_TRUE(_wstringx(none).empty());

    _stringx empty;
    BSTR* cache = empty.c_bstr();
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(*cache, nullptr);
}

TEST(Stringx, ShortAndLongTextsAndGrowth)
{
    _stringx s(L"1234567");
    EXPECT_EQ(W(s), L"1234567");
    for (int i = 0; i < 1000; ++i)
        s += L'x';
    EXPECT_EQ(s.length(), 1007u);
    EXPECT_EQ(s[1006], L'x');
    EXPECT_EQ(s.c_str()[1007], L'\0');
    s.erase(3);
    EXPECT_EQ(W(s), L"123");
}

TEST(Stringx, SelfReferencingEdits)
{
    _stringx s(L"abcdefghijkl");
    s.append(s.c_str() + 2, 3);
    EXPECT_EQ(W(s), L"abcdefghijklcde");
    s = s.c_str() + 12;
    EXPECT_EQ(W(s), L"cde");
    s.append(s);
    EXPECT_EQ(W(s), L"cdecde");
    s.replace(0, 1, s.c_str() + 3, 3);
    EXPECT_EQ(W(s), L"cdedecde");
}

TEST(Stringx, Conversions)
{
    EXPECT_EQ(W(_stringx(-42)), L"-42");
    EXPECT_EQ(W(_stringx(123456L)), L"123456");
    EXPECT_EQ(W(_stringx(static_cast<size_t>(3), L'z')), L"zzz");
    EXPECT_EQ(W(_stringx("ansi text")), L"ansi text");
    EXPECT_EQ(W(_stringx("ansi text", 4)), L"ansi");
    EXPECT_EQ(W(_stringx(_stringx(L"abcdef"), 2, 3)), L"cde");
    EXPECT_EQ(W(_wstringx(_stringx(L"Mixed"))), L"Mixed");
    EXPECT_EQ(W(_stringx(L"Mixed").to_wstringx()), L"Mixed");

    VARIANT number;
    VariantInit(&number);
    V_VT(&number) = VT_I4;
    V_I4(&number) = 1234;
    EXPECT_EQ(W(_stringx(number)), L"1234");

    VARIANT text;
    VariantInit(&text);
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocStringLen(L"ab\0cd", 5);
    EXPECT_EQ(W(_stringx(text)), L"ab");
    VariantClear(&text);

    VARIANT unknown;
    VariantInit(&unknown);
    V_VT(&unknown) = VT_UNKNOWN;
    V_UNKNOWN(&unknown) = nullptr;
    EXPECT_TRUE(_stringx(unknown).empty());
}

TEST(Stringx, CompareByTraits)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int nocase;
        int exact;
    };
    const Case cases[] = {
        {L"abc", L"ABCD", -1, 1},
        {L"ABC", L"abc", 0, -1},
        {L"abc", L"abd", -1, -1},
        {L"", L"", 0, 0},
        {L"", L"a", -1, -1},
        {L"b", L"A", 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sign(_stringx(c.a).compare(c.b)), c.nocase) << c.a << L" vs " << c.b;
        EXPECT_EQ(Sign(_wstringx(c.a).compare(c.b)), c.exact) << c.a << L" vs " << c.b;
    }
    EXPECT_TRUE(_stringx(L"Key") == L"KEY");
    EXPECT_TRUE(L"KEY" == _stringx(L"Key"));
    EXPECT_TRUE(_stringx(L"Key") != _stringx(L"Keys"));
    EXPECT_FALSE(_wstringx(L"Key") == L"KEY");
    const wchar_t* none = nullptr;
    EXPECT_TRUE(_stringx() == none);
    EXPECT_TRUE(kr::less_nocase()(_stringx(L"alpha"), _stringx(L"BETA")));
    EXPECT_FALSE(kr::less_nocase()(_stringx(L"ALPHA"), _stringx(L"alpha")));
}

TEST(Stringx, Search)
{
    const _stringx s(L"Path\\To\\file.TXT");
    EXPECT_EQ(s.find(L"to"), 5u);
    EXPECT_EQ(s.find(L"\\", 5), 7u);
    EXPECT_EQ(s.find(L""), 0u);
    EXPECT_EQ(s.find(L"", s.length()), s.length());
    EXPECT_EQ(s.find(L"", s.length() + 1), _stringx::npos);
    EXPECT_EQ(s.find(L"missing"), _stringx::npos);
    EXPECT_EQ(s.rfind(L"\\"), 7u);
    EXPECT_EQ(s.rfind(L"\\", 6), 4u);
    EXPECT_EQ(s.rfind(L"", 3), 3u);
    EXPECT_EQ(s.rfind(L""), s.length());
    EXPECT_EQ(_wstringx(L"Path\\To").find(L"to"), _wstringx::npos);

    EXPECT_EQ(_stringx(L"  xy ").find_first_not_of(L" "), 2u);
    EXPECT_EQ(_stringx(L"  xy ").find_last_not_of(L" "), 3u);
    EXPECT_EQ(_stringx().find_last_not_of(L" "), _stringx::npos);
    EXPECT_EQ(_stringx(L"aAbB").find_first_not_of(L"a"), 2u);
    EXPECT_EQ(_wstringx(L"aAbB").find_first_not_of(L"a"), 2u);
}

TEST(Stringx, PositionAndLengthErrors)
{
    _stringx s(L"abc");
    try {
        s.erase(4);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid string position");
    }
    EXPECT_THROW(s.substr(5), std::out_of_range);
    EXPECT_THROW(s.append(_stringx(L"x"), 2), std::out_of_range);
    EXPECT_THROW(s.assign(_stringx(L"x"), 2), std::out_of_range);
    EXPECT_THROW(s.replace(9, 1, _stringx(L"y")), std::out_of_range);
    EXPECT_EQ(W(s.substr(3)), L"");
    EXPECT_EQ(W(s.substr(1, 100)), L"bc");
    try {
        s.append_fill(0x7FFFFFFF, L'x');
        FAIL() << "no exception";
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "string too long");
    }
    EXPECT_EQ(W(s), L"abc");
}

TEST(Stringx, ReplaceAll)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* search;
        const wchar_t* replacement;
        const wchar_t* nocase;
        const wchar_t* exact;
    };
    const Case cases[] = {
        {L"aaa", L"a", L"aa", L"aaaaaa", L"aaaaaa"},
        {L"Value value", L"value", L"VALUE", L"Value value", L"Value VALUE"},
        {L"one.two.three", L".", L"::", L"one::two::three", L"one::two::three"},
        {L"AbAB", L"ab", L"x", L"xx", L"AbAB"},
        {L"abc", L"", L"x", L"abc", L"abc"},
        {L"abc", L"abc", L"", L"", L""},
    };
    for (const Case& c : cases) {
        _stringx a(c.text);
        a.replace_all(c.search, c.replacement);
        EXPECT_EQ(W(a), c.nocase) << c.text;
        _wstringx b(c.text);
        b.replace_all(c.search, c.replacement);
        EXPECT_EQ(W(b), c.exact) << c.text;
    }
    _stringx first(L"a-b-c");
    EXPECT_TRUE(first.replace_first(L"-", L"+"));
    EXPECT_EQ(W(first), L"a+b-c");
    EXPECT_FALSE(first.replace_first(L"#", L"+"));
}

TEST(Stringx, TrimStartsEnds)
{
    EXPECT_EQ(W(_stringx(L"     ").trim(L" ")), L"");
    EXPECT_EQ(W(_stringx(L" \t x y \t").trim(L" \t")), L"x y");
    EXPECT_EQ(W(_stringx(L"xy").trim(L" ")), L"xy");

    struct Case {
        const wchar_t* text;
        const wchar_t* part;
        bool starts;
        bool ends;
    };
    const Case cases[] = {
        {L"setup.EXE", L".exe", false, true},
        {L"setup.exe", L"SETUP", true, false},
        {L"ab", L"xab", false, false},
        {L"b", L"ab", false, false},
        {L"", L"", true, true},
        {L"abab", L"ab", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(_stringx(c.text).starts_with(c.part), c.starts) << c.text << L" / " << c.part;
        EXPECT_EQ(_stringx(c.text).ends_with(c.part), c.ends) << c.text << L" / " << c.part;
    }
    EXPECT_TRUE(_stringx(L"dir\\").ends_with_char(L'\\'));
    EXPECT_FALSE(_stringx().ends_with_char(L'\\'));
    EXPECT_TRUE(_stringx(L"abc").char_at_equals(1, L'b'));
    EXPECT_FALSE(_stringx(L"abc").char_at_equals(1, L'B'));
    EXPECT_FALSE(_stringx(L"abc").char_at_equals(3, L'\0'));
    EXPECT_EQ(W(_stringx(L"name=value=x").before_first(L'=')), L"name");
    EXPECT_EQ(W(_stringx(L"name=value=x").after_first(L'=')), L"value=x");
    EXPECT_EQ(W(_stringx(L"plain").before_first(L'=')), L"plain");
    EXPECT_EQ(W(_stringx(L"plain").after_first(L'=')), L"");
}

TEST(Stringx, SplitAndJoin)
{
    struct Case {
        const wchar_t* text;
        unsigned flags;
        std::vector<std::wstring> pieces;
    };
    const Case cases[] = {
        {L"a;;b;", 0, {L"a", L"", L"b"}},
        {L"a;;b;", kr::split_skip_empty, {L"a", L"b"}},
        {L"", 0, {L""}},
        {L"", kr::split_skip_empty, {}},
        {L";", 0, {L""}},
        {L"one", 0, {L"one"}},
    };
    for (const Case& c : cases) {
        kr::stringx_vector pieces;
        _stringx(c.text).split(L';', c.flags, pieces);
        std::vector<std::wstring> got;
        for (const _stringx& p : pieces)
            got.push_back(W(p));
        EXPECT_EQ(got, c.pieces) << c.text << L" flags " << c.flags;
    }

    std::vector<_wstringx> into;
    _wstringx(L"a<>b<><>c").split_into(L"<>", 0, into);
    ASSERT_EQ(into.size(), 4u);
    EXPECT_EQ(W(into[2]), L"");
    const std::vector<_wstringx> all = _wstringx(L"x--y--").split(L"--");
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(W(all[2]), L"");

    kr::stringx_vector parts;
    parts.emplace_back(L"C:\\");
    parts.emplace_back(L"dir");
    parts.emplace_back(L"file");
    _stringx joined;
    joined.join(parts, L'\\');
    EXPECT_EQ(W(joined), L"C:\\dir\\file");
}

TEST(Stringx, QuoteAndCharEdits)
{
    struct Case {
        const wchar_t* text;
        bool only_if_space;
        bool escaped;
        const wchar_t* result;
    };
    const Case cases[] = {
        {L"nospace", true, false, L"nospace"},
        {L"has space", true, false, L"\"has space\""},
        {L"\"quoted\"", false, false, L"\"quoted\""},
        {L"\"half", false, false, L"\"half\""},
        {L"", false, false, L"\"\""},
        {L"\"quoted\"", false, true, L"\\\"\"quoted\"\\\""},
    };
    for (const Case& c : cases) {
        _stringx s(c.text);
        const _stringx copy = s.quote(c.only_if_space, c.escaped);
        EXPECT_EQ(W(s), c.result) << c.text;
        EXPECT_EQ(W(copy), c.result) << c.text;
    }
    EXPECT_EQ(W(_wstringx(L"x").quote(true)), L"\"x\"");
    EXPECT_EQ(W(_stringx(L"\"a b\"").unquote()), L"a b");
    EXPECT_EQ(W(_stringx(L"a b\"").unquote()), L"a b");

    _stringx folder(L"C:\\dir");
    EXPECT_EQ(W(folder.add_trailing_backslash()), L"C:\\dir\\");
    EXPECT_EQ(W(folder.add_trailing_backslash()), L"C:\\dir\\");
    EXPECT_EQ(W(folder.remove_trailing_backslash()), L"C:\\dir");
    EXPECT_EQ(W(_stringx().ensure_trailing_char(L'/')), L"/");
    EXPECT_EQ(W(_stringx(L"x").ensure_leading_char(L'-')), L"-x");
    EXPECT_EQ(W(_stringx(L"-x").remove_leading_char(L'-')), L"x");
}

TEST(Stringx, Paths)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* folder;
        const wchar_t* folder_keep;
        const wchar_t* root;
        const wchar_t* root_slash;
        bool absolute;
    };
    const Case cases[] = {
        {L"C:\\file.txt", L"C:\\", L"C:\\", L"C:", L"C:\\", true},
        {L"C:\\dir\\file.txt", L"C:\\dir", L"C:\\dir\\", L"C:", L"C:\\", true},
        {L"file.txt", L"", L"", L"", L"\\", false},
        {L"dir\\file.txt", L"dir", L"dir\\", L"", L"\\", false},
        {L"C:file", L"C:", L"C:", L"C:", L"C:\\", false},
        {L"C:", L"C:", L"C:", L"C:", L"C:\\", true},
        {L"\\\\srv\\share\\d\\f", L"\\\\srv\\share\\d", L"\\\\srv\\share\\d\\", L"\\\\srv\\share",
         L"\\\\srv\\share\\", true},
        {L"\\\\srv\\share", L"\\\\srv", L"\\\\srv\\", L"\\\\srv\\share", L"\\\\srv\\share\\", true},
        {L"", L"", L"", L"", L"\\", false},
    };
    for (const Case& c : cases) {
        const _stringx p(c.path);
        EXPECT_EQ(W(p.path_folder()), c.folder) << c.path;
        EXPECT_EQ(W(p.path_folder(true)), c.folder_keep) << c.path;
        EXPECT_EQ(W(p.path_root()), c.root) << c.path;
        EXPECT_EQ(W(p.path_root(true)), c.root_slash) << c.path;
        EXPECT_EQ(p.is_absolute_path(), c.absolute) << c.path;
    }
    EXPECT_EQ(W(_stringx(L"C:\\dir\\sub\\f").path_folder(false, true)), L"\\dir\\sub");
    EXPECT_TRUE(_stringx(L"\\\\a").is_unc());
    EXPECT_FALSE(_stringx(L"\\\\").is_unc());

    struct Join {
        const wchar_t* base;
        const wchar_t* part;
        const wchar_t* result;
    };
    const Join joins[] = {
        {L"C:\\dir", L"file", L"C:\\dir\\file"},
        {L"C:\\dir\\", L"file", L"C:\\dir\\file"},
        {L"C:\\dir\\", L"\\file", L"C:\\dir\\file"},
        {L"C:\\dir", L"\\file", L"C:\\dir\\file"},
        {L"", L"file", L"file"},
        {L"C:\\dir", L"", L"C:\\dir"},
    };
    for (const Join& j : joins)
        EXPECT_EQ(W(_stringx(j.base).path_combine(j.part)), j.result) << j.base << L" + " << j.part;
}

TEST(Stringx, FileNamesAndExtensions)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* extension;
        const wchar_t* name;
        const wchar_t* name_without_extension;
        const wchar_t* changed_to_exe;
    };
    const Case cases[] = {
        {L"C:\\dir\\file.txt", L".txt", L"file.txt", L"file", L"C:\\dir\\file.exe"},
        {L"C:\\file.tar.gz", L".gz", L"file.tar.gz", L"file.tar", L"C:\\file.tar.exe"},
        {L"C:\\dir.x\\file", L"", L"file", L"file", L"C:\\dir.x\\file.exe"},
        {L"dir.x\\file", L"", L"file", L"file", L"dir.x\\file.exe"},
        {L".profile", L".profile", L".profile", L"", L".exe"},
        {L"C:\\dir\\.profile", L".profile", L".profile", L"", L"C:\\dir\\.exe"},
        {L"file", L"", L"file", L"file", L"file.exe"},
        {L"\\\\srv\\share\\f.dll", L".dll", L"f.dll", L"f", L"\\\\srv\\share\\f.exe"},
        {L"C:\\dir\\", L"", L"", L"", L"C:\\dir\\.exe"},
    };
    for (const Case& c : cases) {
        _stringx p(c.path);
        EXPECT_EQ(W(p.path_extension()), c.extension) << c.path;
        EXPECT_EQ(W(p.path_file_name()), c.name) << c.path;
        EXPECT_EQ(W(p.path_file_name(true)), c.name_without_extension) << c.path;
        const _stringx returned = p.change_extension(L"exe");
        EXPECT_EQ(W(p), c.changed_to_exe) << c.path;
        EXPECT_EQ(W(returned), c.changed_to_exe) << c.path;
    }
    _stringx removed(L"C:\\a\\b.txt");
    removed.change_extension(L"");
    EXPECT_EQ(W(removed), L"C:\\a\\b");
}

TEST(Stringx, AppendPathAndDriveTests)
{
    struct Join {
        const wchar_t* base;
        const wchar_t* part;
        const wchar_t* result;
    };
    const Join joins[] = {
        {L"C:\\dir", L"file", L"C:\\dir\\file"},
        {L"C:\\dir\\", L"\\file", L"C:\\dir\\file"},
        {L"C:\\dir\\", L"\\\\file", L"C:\\dir\\\\file"},
        {L"C:\\dir", L"\\file", L"C:\\dir\\file"},
        {L"", L"\\file", L"\\file"},
        {L"C:\\dir", L"", L"C:\\dir\\"},
    };
    for (const Join& j : joins) {
        _stringx text_form(j.base);
        EXPECT_EQ(W(text_form.append_path(j.part)), j.result) << j.base << L" + " << j.part;
    }
    _stringx string_form(L"C:\\dir");
    EXPECT_EQ(W(string_form.append_path(_stringx())), L"C:\\dir");
    EXPECT_EQ(W(string_form.append_path(_stringx(L"\\x"))), L"C:\\dir\\x");

    struct Drive {
        const wchar_t* path;
        bool drive_path;
        bool drive_root;
    };
    const Drive drives[] = {
        {L"C:", true, true},         {L"c:\\", true, true},      {L"C:\\x", true, false},
        {L"\\\\srv\\s", true, false}, {L"1:\\", false, false},   {L"dir\\x", false, false},
        {L"C:x", false, false},      {L"", false, false},
    };
    for (const Drive& d : drives) {
        EXPECT_EQ(_stringx(d.path).is_drive_path(), d.drive_path) << d.path;
        EXPECT_EQ(_stringx(d.path).is_drive_root(), d.drive_root) << d.path;
    }

    _stringx upper(L"abc\\d\u00e9f");
    EXPECT_EQ(W(upper.to_upper()), L"ABC\\D\u00c9F");
}

TEST(Stringx, Addresses)
{
    struct Case {
        const wchar_t* text;
        bool http;
        bool https;
        bool ftp;
    };
    const Case cases[] = {
        {L"http://", false, false, false},
        {L"http://x", true, false, false},
        {L"HTTP://X", true, false, false},
        {L"https://", false, false, false},
        {L"https://x", false, true, false},
        {L"ftp://", false, false, false},
        {L"FTP://h", false, false, true},
        {L"C:\\http://x", false, false, false},
    };
    for (const Case& c : cases) {
        const _stringx s(c.text);
        EXPECT_EQ(s.is_http_url(), c.http) << c.text;
        EXPECT_EQ(s.is_https_url(), c.https) << c.text;
        EXPECT_EQ(s.is_ftp_url(), c.ftp) << c.text;
        EXPECT_EQ(s.is_url(), c.http || c.https || c.ftp) << c.text;
    }
}

TEST(Stringx, Numbers)
{
    struct Case {
        const wchar_t* text;
        int radix;
        bool ok;
        unsigned long value;
    };
    const Case cases[] = {
        {L"123", 10, true, 123},
        {L"123a", 10, false, 123},
        {L"", 10, false, 0},
        {L"4294967295", 10, true, 4294967295ul},
        {L"4294967296", 10, false, 4294967295ul},
        {L"0x1F", 16, true, 31},
        {L" 12", 10, true, 12},
        {L"12 ", 10, false, 12},
    };
    for (const Case& c : cases) {
        unsigned long value = 77;
        EXPECT_EQ(_stringx(c.text).to_ulong(value, c.radix), c.ok) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    long l = 0;
    EXPECT_TRUE(_stringx(L"-2147483648").to_long(l));
    EXPECT_EQ(l, -2147483647L - 1);
    EXPECT_FALSE(_stringx(L"2147483648").to_long(l));
    EXPECT_EQ(l, 2147483647L);
    long long big = 0;
    EXPECT_TRUE(_stringx(L"-9000000000").to_int64(big));
    EXPECT_EQ(big, -9000000000LL);
    EXPECT_FALSE(_stringx(L"99999999999999999999").to_int64(big));
}

TEST(Stringx, FormatWithWindowsPrintf)
{
    _stringx s(L"a rather long text that was here before formatting");
    s.format(L"%s=%d", L"x", 5);
    EXPECT_EQ(W(s), L"x=5");
    EXPECT_EQ(s.c_str()[3], L'\0');
    s.format(L"%S|%02X|%ls", "narrow", 0xAB, L"wide");
    EXPECT_EQ(W(s), L"narrow|AB|wide");
    _wstringx w;
    w.format(L"%-4s|", L"ab");
    EXPECT_EQ(W(w), L"ab  |");
    s.format(L"");
    EXPECT_TRUE(s.empty());
}

TEST(Stringx, LastErrorSurvivesStrings)
{
    SetLastError(1234);
    {
        _stringx a(L"a text long enough to need heap storage");
        _stringx b(a);
        _stringx c(L"short");
        _wstringx d(a.c_str());
        c = b;
        c += a;
        _stringx e(std::move(c));
        _stringx f("ansi");
        (void)e.c_bstr();
        (void)e.c_narrow();
    }
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST(Stringx, BufferRoundTripThroughWindows)
{
    wchar_t expected[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, expected, MAX_PATH), 0u);

    _stringx path(L"previous contents that are longer than any module path could be in this test, surely......"
                  L"....................................................................................");
    {
        _stringx::buffer out(path, 520);
        SetLastError(0);
        const DWORD written = GetModuleFileNameW(nullptr, out.wide(), 520);
        EXPECT_EQ(written, wcslen(expected));
        SetLastError(4321);
    }
    EXPECT_EQ(GetLastError(), 4321u);
    EXPECT_EQ(W(path), expected);

    _stringx narrow;
    {
        _stringx::buffer out(narrow, 64);
        char* bytes = out.narrow(64);
        ASSERT_GT(GetEnvironmentVariableA("SystemRoot", bytes, 64), 0u);
    }
    wchar_t root[64] = {};
    GetEnvironmentVariableW(L"SystemRoot", root, 64);
    EXPECT_EQ(W(narrow), root);
}

TEST(Stringx, BstrCacheAndReference)
{
    _stringx s(L"text");
    BSTR* cache = s.c_bstr();
    EXPECT_EQ(SysStringLen(*cache), 4u);
    EXPECT_STREQ(*cache, L"text");
    s += L" more";
    cache = s.c_bstr();
    EXPECT_STREQ(*cache, L"text more");

    BSTR copy = nullptr;
    EXPECT_EQ(s.copy_to_bstr(&copy), S_OK);
    EXPECT_STREQ(copy, L"text more");
    SysFreeString(copy);
    EXPECT_EQ(s.copy_to_bstr(nullptr), E_POINTER);

    {
        _stringx::bstr_ref ref = s.get_bstr_ref();
        BSTR* slot = ref.arm();
        SysFreeString(*slot);
        *slot = SysAllocString(L"from callee");
    }
    EXPECT_EQ(W(s), L"from callee");

    // Not armed: whatever happens to the cache, the text stays.
    {
        _stringx::bstr_ref ref = s.get_bstr_ref();
    }
    EXPECT_EQ(W(s), L"from callee");
}

TEST(Stringx, CodePages)
{
    const _stringx s(L"A\x00e9");
    char le[8] = {};
    EXPECT_EQ(s.to_multibyte(nullptr, 0, 1200), 6);
    EXPECT_EQ(s.to_multibyte(le, 6, 1200), 6);
    EXPECT_EQ(std::string(le, 6), std::string("A\0\xe9\0\0\0", 6));
    char be[8] = {};
    EXPECT_EQ(s.to_multibyte(be, 8, 1201), 8);
    EXPECT_EQ(std::string(be, 6), std::string("\0A\0\xe9\0\0", 6));
    char small[4] = {};
    EXPECT_EQ(s.to_multibyte(small, 4, 1200), 0);

    char utf8[8] = {};
    EXPECT_EQ(s.to_multibyte(utf8, 8, CP_UTF8), 4);
    EXPECT_STREQ(utf8, "A\xc3\xa9");

    _stringx back;
    EXPECT_EQ(back.assign_multibyte(be, 4, 1201), 4);
    EXPECT_EQ(W(back), L"A\x00e9");
    EXPECT_EQ(back.assign_multibyte(le, -1, 1200), 4);
    EXPECT_EQ(W(back), L"A\x00e9");
    EXPECT_EQ(back.assign_multibyte("A\xc3\xa9", -1, CP_UTF8), 2);
    EXPECT_EQ(W(back), L"A\x00e9");
    EXPECT_EQ(back.assign_multibyte("", -1, CP_UTF8), 0);
    EXPECT_EQ(W(back), L"A\x00e9");

    _stringx narrow(L"narrow copy");
    EXPECT_STREQ(narrow.c_narrow(), "narrow copy");
    narrow += L" grows past the first sixty-four bytes of the cache, which it must";
    EXPECT_STREQ(narrow.c_narrow(), "narrow copy grows past the first sixty-four bytes of the cache, which it must");
}

TEST(Stringx, NarrowCacheHoldsMultiByteTexts)
{
    // Thread locales whose ANSI code page takes more than one byte per character:
    // Japanese (two bytes) and Hindi, a Unicode-only locale (UTF-8 under Wine:
    // three bytes for the euro sign, more than twice the UTF-16 length).
    struct Case {
        LANGID language;
        wchar_t ch;
    };
    const Case cases[] = {
        {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), L'\x3042'},
        {MAKELANGID(LANG_HINDI, SUBLANG_DEFAULT), L'\x20ac'},
    };
    const LCID previous = GetThreadLocale();
    for (const Case& c : cases) {
        SetThreadLocale(MAKELCID(c.language, SORT_DEFAULT));
        for (size_t count : {1u, 31u, 32u, 63u, 64u, 200u}) {
            _stringx text(count, c.ch);
            char expected[1024] = {};
            const int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, expected, sizeof(expected),
                                                  nullptr, nullptr);
            ASSERT_GT(bytes, 0);
            EXPECT_EQ(std::string(text.c_narrow()), std::string(expected)) << c.language << " x" << count;
        }
    }
    SetThreadLocale(previous);
}

} // namespace
