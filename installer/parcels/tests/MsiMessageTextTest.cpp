// Reading the Windows Installer's formatted texts: record fields, the
// files-in-use list and the log options.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parcels/MsiMessageText.h"

namespace {

std::vector<std::wstring> Wide(const std::vector<_stringx>& texts)
{
    std::vector<std::wstring> wide;
    for (const _stringx& text : texts)
        wide.emplace_back(text.c_str(), text.size());
    return wide;
}

// The items of a VT_ARRAY | VT_BSTR, after its lower bound.
std::vector<std::wstring> Items(const VARIANT& value, LONG* lower)
{
    std::vector<std::wstring> items;
    EXPECT_EQ(V_VT(&value), VT_ARRAY | VT_BSTR);
    LONG upper = -1;
    SafeArrayGetLBound(V_ARRAY(&value), 1, lower);
    SafeArrayGetUBound(V_ARRAY(&value), 1, &upper);
    for (LONG i = *lower; i <= upper; ++i) {
        BSTR item = nullptr;
        SafeArrayGetElement(V_ARRAY(&value), &i, &item);
        items.emplace_back(item, SysStringLen(item));
        SysFreeString(item);
    }
    return items;
}

TEST(MsiMessageText, RecordFieldsUpToTheFirstMissingNumber)
{
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> fields;
    } cases[] = {
        {L"1: 0 2: 1000 3: 0 4: 1 ", {L"0", L"1000", L"0", L"1"}},
        {L"1: 2 2: 25 ", {L"2", L"25"}},
        {L"1: a\t\r\n 2:  b  3: c", {L"a", L"b", L"c"}},
        // "3:" is missing: "4:" is not looked for.
        {L"1: x 2: y 4: z", {L"x", L"y 4: z"}},
        {L"no fields", {}},
        {L"", {}},
        // Markers out of order leave empty values rather than wrapping.
        {L"2: b 1: a", {L"", L"b 1: a"}},
        {L"1:", {L""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Wide(SplitRecordFields(c.text)), c.fields) << c.text;
}

TEST(MsiMessageText, FilesInUseListsTheWindowTitles)
{
    const struct {
        const wchar_t* text;
        std::vector<std::wstring> items;
    } cases[] = {
        // Two programs, each with its process name and window title.
        {L"1: notepad.exe 2: notes.txt - Notepad 3: app.exe 4: The App ", {L"notes.txt - Notepad", L"The App"}},
        {L"1: notepad.exe 2: notes.txt 3: app.exe 4:  ", {L"notes.txt"}},
        {L"\r\n  Close these programs  \t", {L"Close these programs"}},
        {L" \r\n", {}},
        {L"", {}},
        {L"1: only", {}},
    };
    for (const auto& c : cases) {
        VARIANT items;
        VariantInit(&items);
        ASSERT_EQ(FilesInUseToSafeArray(c.text, &items), S_OK) << c.text;
        LONG lower = 0;
        EXPECT_EQ(Items(items, &lower), c.items) << c.text;
        EXPECT_EQ(lower, 1);
        VariantClear(&items);
    }

    // The previous content is cleared, a null out cell refused.
    VARIANT held;
    V_VT(&held) = VT_BSTR;
    V_BSTR(&held) = SysAllocString(L"old");
    ASSERT_EQ(FilesInUseToSafeArray(L"1: a 2: b ", &held), S_OK);
    LONG lower = 0;
    EXPECT_EQ(Items(held, &lower), std::vector<std::wstring>{L"b"});
    VariantClear(&held);
    EXPECT_EQ(FilesInUseToSafeArray(L"x", nullptr), E_POINTER);
}

TEST(MsiMessageText, LogOptionsBecomeTheLogMode)
{
    const struct {
        const wchar_t* options;
        DWORD mode;
    } cases[] = {
        {L"*v", 0x1F9E},        {L"iwe+", 0x1000016}, {L"VX", 0x1003000}, {L"!", 0x2000000},
        {L"mArPc", 0xF80},      {L"u", 0x8},          {L"", 0},           {L"?z 1", 0},
        {L"*vx+!", 0x3003F9E},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MsiLogModeFromOptions(c.options), c.mode) << c.options;
}

} // namespace
