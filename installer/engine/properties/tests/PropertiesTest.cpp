#include "properties/Properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::wstring Text(const _stringx& value)
{
    return std::wstring(value.c_str(), value.length());
}

// An element class with one attribute of its own, matched in any case.
class FileElement : public CProperties {
public:
    void SetAttribute(const _stringx& name, const _stringx& value) override
    {
        if (name == L"Name")
            fileName = value;
        else
            CProperties::SetAttribute(name, value);
    }

    _stringx fileName;
};

class RecordingState : public IPropertyStateWriter {
public:
    void SaveProperty(const _stringx& name, const _stringx& value) override
    {
        writes.push_back(Text(name) + L"=" + Text(value));
    }
    void SaveParcelValue(const _stringx& parcelId, const _stringx& name, const _stringx& value) override
    {
        writes.push_back(Text(parcelId) + L":" + Text(name) + L"=" + Text(value));
    }

    std::vector<std::wstring> writes;
};

TEST(Properties, LockRules)
{
    struct Case {
        const wchar_t* label;
        bool exists;
        bool locked;
        bool overwriteLocked;
        const wchar_t* value;
    };
    const Case cases[] = {
        {L"new entry", false, false, false, L"2"},
        {L"new entry, mode set", false, false, true, L"2"},
        {L"unlocked", true, false, false, L"2"},
        {L"unlocked, mode set", true, false, true, L"2"},
        {L"locked", true, true, false, L"1"},
        {L"locked, mode set", true, true, true, L"2"},
    };
    for (const Case& c : cases) {
        CProperties bag;
        if (c.exists)
            bag.SetAttribute(L"A", L"1");
        if (c.locked)
            bag.LockAttribute(L"A");
        bag.SetOverwriteLocked(c.overwriteLocked);
        bag.SetAttribute(L"A", L"2");
        EXPECT_EQ(Text(bag.GetAttribute(L"A")), c.value) << c.label;

        // Replacing a locked text leaves it locked; a new entry starts unlocked.
        bag.SetOverwriteLocked(false);
        bag.SetAttribute(L"A", L"3");
        EXPECT_EQ(Text(bag.GetAttribute(L"A")), c.locked ? c.value : L"3") << c.label;
    }
}

TEST(Properties, LockingNeedsAnEntry)
{
    CProperties bag;
    bag.LockAttribute(L"Missing");
    bag.SetAttribute(L"Missing", L"1");
    bag.SetAttribute(L"Missing", L"2");
    EXPECT_EQ(Text(bag.GetAttribute(L"Missing")), L"2");

    bag.SetAttributeLocked(L"Fixed", L"1");
    bag.SetAttribute(L"Fixed", L"2");
    EXPECT_EQ(Text(bag.GetAttribute(L"Fixed")), L"1");
    // Setting locked again with the mode clear changes nothing either.
    bag.SetAttributeLocked(L"Fixed", L"3");
    EXPECT_EQ(Text(bag.GetAttribute(L"Fixed")), L"1");
}

TEST(Properties, NamesMatchExactly)
{
    FileElement element;
    element.SetAttribute(L"Extra", L"upper");
    element.SetAttribute(L"extra", L"lower");
    EXPECT_EQ(Text(element.GetAttribute(L"Extra")), L"upper");
    EXPECT_EQ(Text(element.GetAttribute(L"extra")), L"lower");
    EXPECT_EQ(Text(element.GetAttribute(L"EXTRA")), L"");

    // The case-blind read takes the exact name first, else the first in order.
    EXPECT_EQ(Text(element.GetAttributeNoCase(L"extra")), L"lower");
    EXPECT_EQ(Text(element.GetAttributeNoCase(L"EXTRA")), L"upper");
    EXPECT_EQ(Text(element.GetAttributeNoCase(L"Extr")), L"");

    // Names are compared as whole texts, embedded NULs included.
    element.SetAttribute(_stringx(L"a\0b", 3), L"nul");
    EXPECT_EQ(Text(element.GetAttribute(L"a")), L"");
    EXPECT_EQ(Text(element.GetAttribute(_stringx(L"a\0b", 3))), L"nul");
}

TEST(Properties, DerivedClassKeepsItsOwnAttributes)
{
    FileElement element;
    element.SetAttributeLocked(L"NAME", L"setup.exe");
    EXPECT_EQ(Text(element.fileName), L"setup.exe");
    EXPECT_EQ(Text(element.GetAttribute(L"NAME")), L"");

    // Nothing was locked: a later bag entry of that name starts unlocked.
    element.CProperties::SetAttribute(L"NAME", L"1");
    element.CProperties::SetAttribute(L"NAME", L"2");
    EXPECT_EQ(Text(element.GetAttribute(L"NAME")), L"2");

    element.SetAttributeLocked(L"Other", L"x");
    element.SetAttribute(L"Other", L"y");
    EXPECT_EQ(Text(element.GetAttribute(L"Other")), L"x");
}

TEST(Properties, TextAttribute)
{
    CProperties message;
    EXPECT_EQ(Text(message.GetText()), L"");
    message.SetAttribute(L"text", L"lower");
    EXPECT_EQ(Text(message.GetText()), L"");
    message.SetAttribute(L"Text", L"IDS_ABORT");
    EXPECT_EQ(Text(message.GetText()), L"IDS_ABORT");
}

TEST(Properties, SavesInCodeUnitOrder)
{
    CProperties bag;
    for (const wchar_t* name : {L"b", L"B", L"ab", L"a", L"Ab", L"A", L"_", L"Z", L"\u00C4"})
        bag.SetAttribute(name, name);

    RecordingState state;
    bag.SaveToState(state);
    EXPECT_EQ(state.writes, (std::vector<std::wstring>{L"A=A", L"Ab=Ab", L"B=B", L"Z=Z", L"_=_", L"a=a", L"ab=ab",
                                                       L"b=b", L"\u00C4=\u00C4"}));

    CProperties parcel;
    parcel.SetAttribute(L"Id", L"Core");
    parcel.SetAttribute(L"Cache", L"yes");
    RecordingState parcelState;
    parcel.SaveToParcelState(parcelState, L"Core");
    EXPECT_EQ(parcelState.writes, (std::vector<std::wstring>{L"Core:Cache=yes", L"Core:Id=Core"}));
}

} // namespace
