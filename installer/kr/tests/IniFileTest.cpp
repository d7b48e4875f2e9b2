#include "kr/inifilex.h"

#include "kr/win32_exception.h"

#include "TestFolder.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Texts(const kr::stringx_vector& values)
{
    std::vector<std::wstring> texts;
    for (const _stringx& value : values)
        texts.emplace_back(value.c_str(), value.length());
    return texts;
}

class IniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"kr_ini_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
    }

    void TearDown() override
    {
        for (const std::wstring& path : made_)
            DeleteFileW(path.c_str());
        RemoveDirectoryW((folder_ + L"\\new\\deeper").c_str());
        RemoveDirectoryW((folder_ + L"\\new").c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    std::wstring Path(const wchar_t* name)
    {
        made_.push_back(folder_ + L"\\" + name);
        return made_.back();
    }

    // Loads the ANSI text of a file body with "=" and no bare keys.
    bool LoadText(inifilex& ini, const std::string& body, bool bare_keys = false)
    {
        const std::wstring path = Path(L"parsed.ini");
        WriteBytes(path, body);
        return ini.load(path.c_str(), L"=", bare_keys);
    }

    std::wstring folder_;
    std::vector<std::wstring> made_;
};

TEST_F(IniFile, Utf16WithMarkRoundTripsByteForByte)
{
    inifilex ini;
    ASSERT_TRUE(ini.load(L"data\\state_utf16le.ini", L"=", false));
    EXPECT_EQ(ini.get_string(L"parcel.calvista", L"description", L""), L"Konfigurationswerkzeug f\x00fcr Kelto-Geber");
    EXPECT_EQ(ini.get_string(L"Properties", L"Empty", L"default"), L"");

    const std::wstring copy = Path(L"copy.ini");
    ASSERT_TRUE(ini.save_as(copy.c_str(), 0, 0, false));
    EXPECT_EQ(ReadBytes(copy), ReadBytes(L"data\\state_utf16le.ini"));
    EXPECT_FALSE(ini.is_modified());
}

TEST_F(IniFile, EncodingsAndMarks)
{
    struct Case {
        int code_page;
        bool mark;
        std::string head;
        const wchar_t* value;
    };
    const Case cases[] = {
        {1200, true, std::string("\xFF\xFE[\0", 4), L"gr\x00fc\x00df"},
        {1201, true, std::string("\xFE\xFF\0[", 4), L"gr\x00fc\x00df"},
        {65001, true, std::string("\xEF\xBB\xBF[", 4), L"gr\x00fc\x00df"},
        {65001, false, std::string("[S]\r\n", 5), L"gr\x00fc\x00df"},
        {1200, false, std::string("[\0S\0", 4), L"plain"},
        {0, true, std::string("[S]\r\n", 5), L"plain"},
    };
    for (const Case& c : cases) {
        inifilex out;
        out.set_string(L"S", L"k", c.value);
        const std::wstring path = Path(L"encoded.ini");
        ASSERT_TRUE(out.save_as(path.c_str(), inifilex::use_given_encoding, c.code_page, c.mark));
        const std::string bytes = ReadBytes(path);
        EXPECT_EQ(bytes.substr(0, c.head.size()), c.head) << c.code_page << " " << c.mark;

        inifilex in;
        if (!c.mark)
            in.set_code_page(c.code_page);
        ASSERT_TRUE(in.load(path.c_str(), L"=", false)) << c.code_page;
        EXPECT_EQ(in.get_string(L"S", L"k", L""), c.value) << c.code_page << " " << c.mark;

        // A save without new encoding writes what the load found.
        const std::wstring again = Path(L"again.ini");
        ASSERT_TRUE(in.save_as(again.c_str(), 0, 0, false));
        EXPECT_EQ(ReadBytes(again), bytes) << c.code_page << " " << c.mark;
    }

    // A mark wins over the code page the caller asked for.
    inifilex marked;
    marked.set_code_page(1252);
    ASSERT_TRUE(marked.load(L"data\\state_utf16le.ini", L"=", false));
    EXPECT_EQ(marked.get_string(L"Suite", L"InstallMode", L""), L"2");
}

TEST_F(IniFile, LinesEntriesAndSections)
{
    inifilex ini;
    ASSERT_TRUE(LoadText(ini, "[General]trailing\r\n"
                              "Key = Value\r\n"
                              "Bare\n"
                              "=x\r"
                              "   \r\n"
                              "#hash\n\r"
                              " [not a section]\n"
                              ";comment\n"
                              "a=1=2\n"
                              "[]\n"
                              "e=empty name\n"
                              "[A]\n"
                              "x=1\n"
                              "[a]\n"
                              "X=2\n"
                              "y=3"));
    kr::stringx_vector keys;
    ini.get_keys(L"general", keys);
    EXPECT_EQ(Texts(keys), (std::vector<std::wstring>{L"Key ", L"Bare", L"", L"   ", L"#hash", L" [not a section]", L"a"}));
    EXPECT_EQ(ini.get_string(L"General", L"Key ", L""), L" Value");
    EXPECT_EQ(ini.get_string(L"General", L"Bare", L"?"), L"");
    EXPECT_EQ(ini.get_string(L"General", L"", L""), L"x");
    EXPECT_EQ(ini.get_string(L"General", L"a", L""), L"1=2");
    EXPECT_EQ(ini.get_string(L"", L"e", L""), L"empty name");

    kr::stringx_vector names;
    ini.get_section_names(names);
    EXPECT_EQ(Texts(names), (std::vector<std::wstring>{L"General", L"", L"A"}));
    keys.clear();
    ini.get_keys(L"A", keys);
    EXPECT_EQ(Texts(keys), (std::vector<std::wstring>{L"x", L"y"}));
    EXPECT_EQ(ini.get_string(L"a", L"X", L""), L"1");
}

TEST_F(IniFile, MalformedAndMissingFiles)
{
    struct Case {
        const char* body;
        size_t sections_kept;
    };
    const Case cases[] = {
        {"[One]\r\nk=v\r\n[General\r\n[Two]\r\n", 1},
        {"k=v\r\n[One]\r\n", 0},
    };
    for (const Case& c : cases) {
        inifilex ini;
        ini.set_modified(true);
        EXPECT_FALSE(LoadText(ini, c.body)) << c.body;
        EXPECT_EQ(ini.get_last_error(), 0u);
        EXPECT_TRUE(ini.is_modified());
        kr::stringx_vector names;
        ini.get_section_names(names);
        EXPECT_EQ(names.size(), c.sections_kept) << c.body;
    }

    inifilex empty;
    EXPECT_TRUE(LoadText(empty, ""));
    kr::stringx_vector names;
    empty.get_section_names(names);
    EXPECT_TRUE(names.empty());

    inifilex missing;
    missing.set_string(L"Old", L"k", L"v");
    const std::wstring path = folder_ + L"\\missing.ini";
    EXPECT_FALSE(missing.load(path.c_str(), L"=", false));
    EXPECT_EQ(missing.get_last_error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(missing.section_exists(L"Old"));
    EXPECT_EQ(missing.get_file_name(), path.c_str());
}

TEST_F(IniFile, TypedGettersFallBackToTheirDefaults)
{
    inifilex ini;
    ASSERT_TRUE(LoadText(ini, "[V]\nhex=0x1A\nHEX=ignored\nhex2=0X1a\nspace= 12\nmixed=12abc\nletters=abc\n"
                              "neg=-0x10\nempty=\nhuge=99999999999\nneghex=0x-5\n"
                              "b1=yes\nb2=Y\nb3=1\nb4=TRUE\nb5=no\nb6=2\nb7=on\n"));
    struct IntCase {
        const wchar_t* key;
        int value;
    };
    const IntCase ints[] = {
        {L"hex", 26}, {L"hex2", 26}, {L"space", 12}, {L"mixed", 12}, {L"letters", 0},
        {L"neg", 0},  {L"empty", 77}, {L"absent", 77}, {L"huge", INT_MAX}, {L"neghex", -5},
    };
    for (const IntCase& c : ints)
        EXPECT_EQ(ini.get_int(L"v", c.key, 77), c.value) << c.key;
    EXPECT_EQ(ini.get_int(L"no section", L"hex", -1), -1);

    struct BoolCase {
        const wchar_t* key;
        bool fallback;
        bool value;
    };
    const BoolCase bools[] = {
        {L"b1", false, true},  {L"b2", false, true}, {L"b3", false, true},    {L"b4", false, true},
        {L"b5", true, false},  {L"b6", true, false}, {L"b7", true, false},    {L"empty", true, true},
        {L"empty", false, false}, {L"absent", true, true},
    };
    for (const BoolCase& c : bools)
        EXPECT_EQ(ini.get_bool(L"V", c.key, c.fallback), c.value) << c.key;

    ini.set_int(L"W", L"n", -42);
    ini.set_bool(L"W", L"f", true);
    EXPECT_EQ(ini.get_string(L"W", L"n", L""), L"-42");
    EXPECT_EQ(ini.get_string(L"W", L"f", L""), L"Yes");
    EXPECT_TRUE(ini.is_modified());
}

TEST_F(IniFile, NumberedValues)
{
    struct Case {
        const char* body;
        std::vector<std::wstring> values;
    };
    const Case cases[] = {
        {"[L]\nItem0=a\nItem2=c\n", {L"a"}},
        {"[L]\nItem1=b\nItem2=c\n", {L"b", L"c"}},
        {"[L]\nitem0=a\nITEM1=b\nItem3=d\n", {L"a", L"b"}},
    };
    for (const Case& c : cases) {
        inifilex ini;
        ASSERT_TRUE(LoadText(ini, c.body));
        kr::stringx_vector values;
        ini.get_section_values(L"L", values, L"Item%d");
        EXPECT_EQ(Texts(values), c.values) << c.body;
    }
}

TEST_F(IniFile, RenamesMovesAndTheModifiedFlag)
{
    inifilex ini;
    ASSERT_TRUE(LoadText(ini, "[A]\nk1=1\nk2=2\nk3=3\n[B]\n[Parcel.x]\n[parcel.y]\n"));
    EXPECT_FALSE(ini.is_modified());

    EXPECT_TRUE(ini.rename_section(L"A", L"a"));
    EXPECT_FALSE(ini.is_modified());
    EXPECT_FALSE(ini.rename_section(L"A", L"b"));
    EXPECT_FALSE(ini.rename_section(L"missing", L"C"));
    EXPECT_FALSE(ini.is_modified());

    EXPECT_TRUE(ini.rename_key(L"A", L"k1", L"K1"));
    EXPECT_TRUE(ini.is_modified());
    ini.set_modified(false);
    EXPECT_FALSE(ini.rename_key(L"A", L"k1", L"k2"));
    EXPECT_FALSE(ini.rename_key(L"A", L"none", L"k9"));
    EXPECT_FALSE(ini.rename_key(L"none", L"k1", L"k9"));
    EXPECT_FALSE(ini.is_modified());
    EXPECT_TRUE(ini.rename_key(L"A", L"k2", L"renamed"));
    kr::stringx_vector keys;
    ini.get_keys(L"A", keys);
    EXPECT_EQ(Texts(keys), (std::vector<std::wstring>{L"k1", L"renamed", L"k3"}));

    ini.set_modified(false);
    EXPECT_FALSE(ini.move_entry_after(L"A", L"absent", L"k1"));
    EXPECT_TRUE(ini.is_modified());
    EXPECT_FALSE(ini.move_entry_after(L"missing", L"k1", L"k3"));
    EXPECT_FALSE(ini.move_entry_after(L"A", L"K1", L"k1"));
    EXPECT_TRUE(ini.move_entry_after(L"A", L"k1", L"K3"));
    keys.clear();
    ini.get_keys(L"A", keys);
    EXPECT_EQ(Texts(keys), (std::vector<std::wstring>{L"renamed", L"k3", L"k1"}));
    EXPECT_TRUE(ini.move_entry_after(L"A", L"k1", L"renamed"));
    EXPECT_EQ(ini.get_string(L"A", L"K1", L""), L"1");
    EXPECT_EQ(ini.get_string(L"A", L"k3", L""), L"3");

    ini.rename_section_prefix(L"PARCEL.", L"Done.");
    kr::stringx_vector names{L"one", L"two"};
    EXPECT_EQ(ini.get_section_names_with_prefix(names, L"done."), 4u);
    EXPECT_EQ(Texts(names), (std::vector<std::wstring>{L"one", L"two", L"Done.x", L"Done.y"}));

    ini.set_modified(false);
    ini.clear();
    EXPECT_FALSE(ini.is_modified());
    EXPECT_FALSE(ini.section_exists(L"A"));
}

TEST_F(IniFile, RemovingClearingAndMerging)
{
    inifilex ini;
    ASSERT_TRUE(LoadText(ini, "[Keep]\nk=v\n[Tmp.1]\na=1\n[Tmp.2]\n"));
    EXPECT_FALSE(ini.remove_key(L"Keep", L"absent"));
    EXPECT_FALSE(ini.is_modified());
    EXPECT_TRUE(ini.remove_key(L"keep", L"K"));
    EXPECT_TRUE(ini.is_modified());
    EXPECT_TRUE(ini.section_exists(L"Keep"));

    ini.set_modified(false);
    EXPECT_FALSE(ini.remove_section(L"absent"));
    EXPECT_FALSE(ini.clear_section(L"absent"));
    EXPECT_FALSE(ini.is_modified());
    EXPECT_TRUE(ini.clear_section(L"Tmp.1"));
    EXPECT_TRUE(ini.is_modified());
    EXPECT_FALSE(ini.key_exists(L"Tmp.1", L"a"));

    ini.remove_sections_with_prefix(L"tmp.");
    kr::stringx_vector names;
    ini.get_section_names(names);
    EXPECT_EQ(Texts(names), (std::vector<std::wstring>{L"Keep"}));

    inifilex other;
    other.set_string(L"Props", L"A", L"1");
    other.set_string(L"Props", L"B", L"2");
    other.set_string(L"State", L"S", L"x");
    ini.merge_sections(other, L"Parcel", L"%s.%s");
    EXPECT_EQ(ini.get_string(L"Parcel.Props", L"B", L""), L"2");
    EXPECT_EQ(ini.get_string(L"parcel.state", L"s", L""), L"x");

    ini.add_section(L"Added");
    EXPECT_TRUE(ini.section_exists(L"added"));
}

TEST_F(IniFile, SaveFlagsSortingAndBareKeys)
{
    inifilex empty;
    const std::wstring skipped = Path(L"skipped.ini");
    EXPECT_TRUE(empty.save_as(skipped.c_str(), inifilex::skip_when_empty, 0, false));
    EXPECT_EQ(GetFileAttributesW(skipped.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::wstring blank = Path(L"blank.ini");
    EXPECT_TRUE(empty.save_as(blank.c_str(), inifilex::use_given_encoding, 1200, true));
    EXPECT_EQ(ReadBytes(blank), std::string("\xFF\xFE", 2));
    EXPECT_FALSE(empty.save_as(L"", 0, 0, false));

    inifilex ini;
    ASSERT_TRUE(LoadText(ini, "[b]\nz=1\ny=\n[A]\nk=v\n", true));
    const std::wstring sorted = Path(L"sorted.ini");
    ASSERT_TRUE(ini.save_as(sorted.c_str(), inifilex::sort_sections_first, 0, false));
    EXPECT_EQ(ReadBytes(sorted), "[A]\r\nk=v\r\n\r\n[b]\r\nz=1\r\ny\r\n");
    kr::stringx_vector names;
    ini.get_section_names(names);
    EXPECT_EQ(Texts(names), (std::vector<std::wstring>{L"A", L"b"}));

    ini.sort();
    kr::stringx_vector keys;
    ini.get_keys(L"b", keys);
    EXPECT_EQ(Texts(keys), (std::vector<std::wstring>{L"y", L"z"}));
    ini.sort_section_keys(L"new");
    EXPECT_TRUE(ini.section_exists(L"new"));

    inifilex plain;
    ASSERT_TRUE(LoadText(plain, "[S]\nKey\n"));
    const std::wstring with_separator = Path(L"separator.ini");
    ASSERT_TRUE(plain.save_as(with_separator.c_str(), 0, 0, false));
    EXPECT_EQ(ReadBytes(with_separator), "[S]\r\nKey=\r\n");
}

TEST_F(IniFile, SaveCreatesFoldersAndReportsFailures)
{
    inifilex ini;
    ini.set_string(L"S", L"k", L"v");
    const std::wstring nested = folder_ + L"\\new\\deeper\\state.ini";
    made_.push_back(nested);
    ASSERT_TRUE(ini.save_as(nested.c_str(), 0, 0, false));
    EXPECT_EQ(ini.get_file_name(), nested.c_str());
    EXPECT_EQ(ReadBytes(nested), "[S]\r\nk=v\r\n");

    // The file system refuses: a folder stands where the file should be.
    const std::wstring blocked = folder_ + L"\\new";
    ini.set_modified(true);
    EXPECT_FALSE(ini.save_as(blocked.c_str(), 0, 0, false));
    EXPECT_NE(ini.get_last_error(), 0u);
    EXPECT_EQ(ini.get_failed_path(), blocked.c_str());
    EXPECT_EQ(ini.get_file_name(), blocked.c_str());
    EXPECT_TRUE(ini.is_modified());

    // A code page that cannot take the text fails the save instead of writing it empty.
    const std::wstring bad = Path(L"bad_code_page.ini");
    EXPECT_THROW(ini.save_as(bad.c_str(), inifilex::use_given_encoding, 12345, false), kr::file_exception);
}

// The names in the test folder, "." and ".." left out.
std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names.emplace_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The state file the suite's resume stands on: a save that fails keeps what it held.
TEST_F(IniFile, FailedSaveKeepsTheExistingFile)
{
    inifilex ini;
    ini.set_string(L"State", L"Phase", L"Installing");
    ini.set_string(L"State", L"Parcel", L"Runtime");
    const std::wstring state = Path(L"state.ini");
    ASSERT_TRUE(ini.save_as(state.c_str(), 0, 0, false));
    const std::string saved = ReadBytes(state);
    ASSERT_EQ(saved, "[State]\r\nPhase=Installing\r\nParcel=Runtime\r\n");

    // The text cannot be converted: the save throws naming the file, which keeps its bytes.
    ini.set_string(L"State", L"Phase", L"Done");
    try {
        ini.save_as(state.c_str(), inifilex::use_given_encoding, 12345, false);
        ADD_FAILURE() << "the save did not fail";
    } catch (const kr::file_exception& failure) {
        EXPECT_EQ(std::wstring(failure.path().c_str()), state);
    }
    EXPECT_EQ(ReadBytes(state), saved);
    EXPECT_TRUE(ini.is_modified());

    // The file cannot be replaced while a reader holds it without sharing it.
    const HANDLE reader = CreateFileW(state.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ini.save_as(state.c_str(), inifilex::use_given_encoding, 0, false));
    CloseHandle(reader);
    EXPECT_NE(ini.get_last_error(), 0u);
    EXPECT_EQ(ini.get_failed_path(), state.c_str());
    EXPECT_EQ(ReadBytes(state), saved);
    // Neither failure left a file of its own behind.
    EXPECT_EQ(FilesIn(folder_), std::vector<std::wstring>{L"state.ini"});

    // A save that works replaces the contents whole, a shorter text included.
    ASSERT_TRUE(ini.remove_key(L"State", L"Parcel"));
    ASSERT_TRUE(ini.save_as(state.c_str(), 0, 0, false));
    EXPECT_EQ(ReadBytes(state), "[State]\r\nPhase=Done\r\n");
    EXPECT_FALSE(ini.is_modified());
    EXPECT_EQ(FilesIn(folder_), std::vector<std::wstring>{L"state.ini"});
}

} // namespace
