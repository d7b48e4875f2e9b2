#include "conditions/ConditionValueTypeConverter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "conditions/Version.h"
#include "kr/holders.h"
#include "kr/safe_array.h"

namespace {

class TestConverter : public CConditionValueTypeConverter {
public:
    explicit TestConverter(DWORD allowed = 0x7F) : m_allowed(allowed) {}

    _stringx GetAttribute(const _stringx& name) const override
    {
        for (const auto& [key, value] : attributes) {
            if (name == key.c_str())
                return value.c_str();
        }
        return _stringx();
    }
    DWORD GetAllowedTypes() const override { return m_allowed; }

    std::map<std::wstring, std::wstring> attributes;

private:
    DWORD m_allowed;
};

// A converter whose "Convert" attribute is given and parsed.
class ParsedConverter : public TestConverter {
public:
    explicit ParsedConverter(const wchar_t* convert)
    {
        attributes[L"Convert"] = convert;
        EXPECT_EQ(Parse(), S_OK) << convert;
    }
};

TEST(ConditionConverter, ParsesTypeAndErrorMode)
{
    struct Case {
        const wchar_t* convert;  // null: attribute absent
        const wchar_t* convertError;
        DWORD allowed;
        HRESULT hr;
        int type;
        int mode;
    };
    const Case cases[] = {
        {nullptr, nullptr, 0x7F, S_OK, cvtString, cceThrow},
        {L"Content", nullptr, 0x7F, S_OK, cvtString, cceThrow},
        {L"dword", L"fallback", 0x7F, S_OK, cvtDword, cceFallback},
        {L"QWORD", L"Pass", 0x7F, S_OK, cvtQword, ccePass},
        {L"MultiString", L"FAIL", 0x7F, S_OK, cvtMultiString, cceFail},
        {L"version", L"Throw", 0x7F, S_OK, cvtVersion, cceThrow},
        {L"ProductVersion", L"", 0x7F, S_OK, cvtProductVersion, cceThrow},
        {L"LocalDateTime", nullptr, 0x7F, S_OK, cvtLocalDateTime, cceThrow},
        {L"Bogus", nullptr, 0x7F, E_INVALIDARG, cvtInvalid, cceThrow},
        {L"String", L"Ignore", 0x7F, E_INVALIDARG, cvtString, cceThrow},
        // The kinds accept only some types: PropertyValue takes all but MultiString.
        {L"MultiString", nullptr, 119, E_INVALIDARG, cvtMultiString, cceThrow},
        {L"ProductVersion", nullptr, 32, S_OK, cvtProductVersion, cceThrow},
        {L"String", nullptr, 32, E_INVALIDARG, cvtString, cceThrow},
    };
    for (const Case& c : cases) {
        TestConverter converter(c.allowed);
        if (c.convert)
            converter.attributes[L"convert"] = c.convert;
        if (c.convertError)
            converter.attributes[L"CONVERTERROR"] = c.convertError;
        const wchar_t* label = c.convert ? c.convert : L"(absent)";
        EXPECT_EQ(converter.Parse(), c.hr) << label;
        EXPECT_EQ(converter.ValueType(), c.type) << label;
        EXPECT_EQ(converter.ErrorMode(), c.mode) << label;
    }
}

TEST(ConditionConverter, WholeTextNumbers)
{
    struct Case {
        const wchar_t* text;
        HRESULT hr;
        long long value;
    };
    const Case dwords[] = {
        {L"10", S_OK, 10},          {L"0x10", S_OK, 16},       {L"FF", S_OK, 255},
        {L"-1", S_OK, -1},          {L" 7", S_OK, 7},          {L"2147483647", S_OK, 2147483647},
        {L"-2147483648", S_OK, -2147483647LL - 1},             {L"7FFFFFFF", S_OK, 2147483647},
        {L"4294967295", DISP_E_TYPEMISMATCH, 0},               {L"2147483648", DISP_E_TYPEMISMATCH, 0},
        {L"0x80000000", DISP_E_TYPEMISMATCH, 0},               {L"10h", DISP_E_TYPEMISMATCH, 0},
        {L"", DISP_E_TYPEMISMATCH, 0},                         {L"7 ", DISP_E_TYPEMISMATCH, 0},
        {L"0x", DISP_E_TYPEMISMATCH, 0},
    };
    const ParsedConverter dword(L"DWORD");
    for (const Case& c : dwords) {
        kr::variant_holder value;
        EXPECT_EQ(dword.Convert(c.text, value.get()), c.hr) << c.text;
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(V_VT(value.get()), VT_I4) << c.text;
            EXPECT_EQ(V_I4(value.get()), c.value) << c.text;
        } else {
            EXPECT_EQ(V_VT(value.get()), VT_EMPTY) << c.text;
        }
    }

    const Case qwords[] = {
        {L"10", S_OK, 10},
        {L"0x10", S_OK, 16},
        {L"-1", S_OK, -1},
        {L"4294967295", S_OK, 4294967295LL},
        {L"9223372036854775807", S_OK, 9223372036854775807LL},
        {L"18446744073709551615", DISP_E_TYPEMISMATCH, 0},
        {L"FFFFFFFFFFFFFFFF", DISP_E_TYPEMISMATCH, 0},
        {L"10h", DISP_E_TYPEMISMATCH, 0},
    };
    const ParsedConverter qword(L"QWORD");
    for (const Case& c : qwords) {
        kr::variant_holder value;
        EXPECT_EQ(qword.Convert(c.text, value.get()), c.hr) << c.text;
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(V_VT(value.get()), VT_I8) << c.text;
            EXPECT_EQ(V_I8(value.get()), c.value) << c.text;
        }
    }
}

TEST(ConditionConverter, TextsAndLists)
{
    kr::variant_holder value;
    const ParsedConverter text(L"String");
    ASSERT_EQ(text.Convert(_stringx(L"a\0b", 3), value.get()), S_OK);
    ASSERT_EQ(V_VT(value.get()), VT_BSTR);
    EXPECT_EQ(std::wstring(V_BSTR(value.get()), SysStringLen(V_BSTR(value.get()))), std::wstring(L"a\0b", 3));

    const ParsedConverter list(L"MultiString");
    ASSERT_EQ(list.Convert(_stringx(L"a\0\0b\0", 5), value.get()), S_OK);
    ASSERT_EQ(V_VT(value.get()), VT_ARRAY | VT_BSTR);
    kr::safe_array elements;
    elements.attach(V_ARRAY(value.get()));
    ASSERT_EQ(elements.lower_bound(), 1);
    ASSERT_EQ(elements.upper_bound(), 2);
    EXPECT_EQ(_stringx(elements[1].value()), L"a");
    EXPECT_EQ(_stringx(elements[2].value()), L"b");
    elements.destroy();

    for (const _stringx& empty : {_stringx(), _stringx(L"\0\0", 2)}) {
        ASSERT_EQ(list.Convert(empty, value.get()), S_OK);
        EXPECT_EQ(V_ARRAY(value.get())->rgsabound[0].cElements, 0u);
    }
}

TEST(ConditionConverter, Versions)
{
    kr::variant_holder value;
    const ParsedConverter version(L"Version");
    ASSERT_EQ(version.Convert(L"1.2.3.4", value.get()), S_OK);
    EXPECT_EQ(V_VT(value.get()), VT_UI8);
    EXPECT_EQ(V_UI8(value.get()), 0x0001000200030004ULL);
    ASSERT_EQ(version.Convert(L"1.2", value.get()), S_OK);
    EXPECT_EQ(V_UI8(value.get()), 0x0001000200000000ULL);
    EXPECT_EQ(version.Convert(L"65536.0", value.get()), DISP_E_OVERFLOW);
    EXPECT_EQ(V_VT(value.get()), VT_EMPTY);

    const ParsedConverter product(L"ProductVersion");
    ASSERT_EQ(product.Convert(L"1.2.3", value.get()), S_OK);
    EXPECT_EQ(V_VT(value.get()), VT_UI4);
    EXPECT_EQ(V_UI4(value.get()), 0x1020003u);
    EXPECT_EQ(product.Convert(L"1..3", value.get()), DISP_E_TYPEMISMATCH);
}

TEST(ConditionConverter, LocalDateTimeIsAFileTimeWithoutZoneChange)
{
    const ParsedConverter date(L"LocalDateTime");
    kr::variant_holder value;
    ASSERT_EQ(date.Convert(L"05/17/2020 13:45:10", value.get()), S_OK);
    ASSERT_EQ(V_VT(value.get()), VT_UI8);
    SYSTEMTIME system = {2020, 5, 0, 17, 13, 45, 10, 0};
    FILETIME expected = {};
    ASSERT_TRUE(SystemTimeToFileTime(&system, &expected));
    EXPECT_EQ(V_UI8(value.get()), static_cast<ULONGLONG>(expected.dwHighDateTime) << 32 | expected.dwLowDateTime);

    EXPECT_TRUE(FAILED(date.Convert(L"not a date", value.get())));
    EXPECT_EQ(V_VT(value.get()), VT_EMPTY);
}

TEST(ConditionConverter, RegistryNumbers)
{
    kr::variant_holder value;
    const ParsedConverter dword(L"DWORD");
    ASSERT_EQ(dword.ConvertDword(0xFFFFFFFF, value.get()), S_OK);
    EXPECT_EQ(V_VT(value.get()), VT_I4);
    EXPECT_EQ(V_I4(value.get()), -1);
    EXPECT_EQ(dword.ConvertQword(1, 0, value.get()), E_INVALIDARG);

    const ParsedConverter text(L"String");
    ASSERT_EQ(text.ConvertDword(0xFFFFFFFF, value.get()), S_OK);
    ASSERT_EQ(V_VT(value.get()), VT_BSTR);
    EXPECT_EQ(_stringx(V_BSTR(value.get())), L"4294967295");
    ASSERT_EQ(text.ConvertQword(0xFFFFFFFF, 0xFFFFFFFF, value.get()), S_OK);
    EXPECT_EQ(_stringx(V_BSTR(value.get())), L"18446744073709551615");

    // A registry QWORD and a QWORD text meet as the same VARIANT type.
    const ParsedConverter qword(L"QWORD");
    ASSERT_EQ(qword.ConvertQword(0xFFFFFFFF, 0xFFFFFFFF, value.get()), S_OK);
    EXPECT_EQ(V_VT(value.get()), VT_I8);
    EXPECT_EQ(V_I8(value.get()), -1);
    EXPECT_EQ(qword.ConvertDword(1, value.get()), E_INVALIDARG);

    const ParsedConverter date(L"LocalDateTime");
    ASSERT_EQ(date.ConvertQword(0x89ABCDEF, 0x01234567, value.get()), S_OK);
    EXPECT_EQ(V_VT(value.get()), VT_UI8);
    EXPECT_EQ(V_UI8(value.get()), 0x0123456789ABCDEFULL);
}

TEST(ConditionConverter, UnparsedConverterConvertsNothing)
{
    const TestConverter converter;
    kr::variant_holder value;
    EXPECT_EQ(converter.Convert(L"1", value.get()), E_INVALIDARG);
    EXPECT_EQ(converter.ConvertDword(1, value.get()), E_INVALIDARG);
}

TEST(Version, ParsesDottedTexts)
{
    struct Case {
        const wchar_t* text;
        HRESULT hr;
        DWORD value;
    };
    const Case threes[] = {
        {L"1.2.3", S_OK, 0x1020003},       {L"1.2", S_OK, 0x1020000},           {L"1", S_OK, 0x1000000},
        {L"1.2.3.4", S_OK, 0x1020003},     {L"1.2.3.x", S_OK, 0x1020003},       {L"255.255.65535", S_OK, 0xFFFFFFFF},
        {L"256.0.0", DISP_E_OVERFLOW, 0},  {L"1.256.0", DISP_E_OVERFLOW, 0},    {L"1.2.65536", DISP_E_OVERFLOW, 0},
        {L"1..3", DISP_E_TYPEMISMATCH, 0}, {L"", DISP_E_TYPEMISMATCH, 0},       {L"1.2.", DISP_E_TYPEMISMATCH, 0},
        {L"a.1", DISP_E_TYPEMISMATCH, 0},  {L"1.2b.3", DISP_E_TYPEMISMATCH, 0},
    };
    for (const Case& c : threes) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(ParseVersion3(c.text, &value), c.hr) << c.text;
        EXPECT_EQ(value, SUCCEEDED(c.hr) ? c.value : 0xDEADBEEF) << c.text;
    }

    DWORD high = 0;
    DWORD low = 0;
    EXPECT_EQ(ParseVersion4(L"1.2.3.4", &high, &low), S_OK);
    EXPECT_EQ(high, 0x10002u);
    EXPECT_EQ(low, 0x30004u);
    EXPECT_EQ(ParseVersion4(L"1.2.3.4.5", &high, &low), S_OK);
    EXPECT_EQ(low, 0x30004u);
    EXPECT_EQ(ParseVersion4(L"65535.65535.65535.65535", &high, &low), S_OK);
    EXPECT_EQ(high, 0xFFFFFFFFu);
    EXPECT_EQ(ParseVersion4(L"65536.0", &high, &low), DISP_E_OVERFLOW);
    EXPECT_EQ(ParseVersion4(L"1..3", &high, &low), DISP_E_TYPEMISMATCH);
}

} // namespace
