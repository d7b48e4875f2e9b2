#include "conditions/ConditionComparator.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "kr/com_exception.h"
#include "kr/holders.h"
#include "kr/safe_array.h"

namespace {

const wchar_t* const kOperatorNames[] = {
    L"lessthan", L"LessEqual",  L"GREATERTHAN",   L"GreaterEqual", L"Equal",    L"HasFlags", L"Contains",
    L"AnyContains", L"StartsWith", L"EndsWith", L"AnyStartsWith", L"AnyEndsWith", L"NotEqual"};

class TestComparator : public CConditionComparator {
public:
    explicit TestComparator(const wchar_t* compare = nullptr) : m_compare(compare)
    {
        if (compare) {
            EXPECT_EQ(Parse(), S_OK) << compare;
        }
    }

    _stringx GetAttribute(const _stringx& name) const override
    {
        return name == L"Compare" && m_compare ? _stringx(m_compare) : _stringx();
    }

    void Expect(const wchar_t* compare) { m_compare = compare; }

private:
    const wchar_t* m_compare;
};

struct Value {
    kr::variant_holder holder;
    VARIANT& get() { return *holder.get(); }
};

void SetText(VARIANT& value, const wchar_t* text)
{
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(text);
}

void SetList(VARIANT& value, std::initializer_list<const wchar_t*> texts)
{
    kr::safe_array list;
    list.create(static_cast<ULONG>(texts.size()));
    LONG index = 1;
    for (const wchar_t* text : texts)
        list[index++] = text;
    V_VT(&value) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&value) = list.detach();
}

bool Compared(const wchar_t* op, VARIANT& actual, VARIANT& expected)
{
    const TestComparator comparator(op);
    bool result = false;
    EXPECT_EQ(comparator.Compare(actual, expected, &result), S_OK) << op;
    return result;
}

TEST(ConditionComparator, ParsesTheThirteenOperators)
{
    // EndsWith is 9 and AnyStartsWith 10.
    for (int op = 0; op < 13; ++op) {
        const TestComparator comparator(kOperatorNames[op]);
        EXPECT_EQ(comparator.Operator(), op) << kOperatorNames[op];
    }

    TestComparator comparator(L"Equal");
    for (const wchar_t* bad : {L"", L"Equals", L"Less Than"}) {
        comparator.Expect(bad);
        EXPECT_EQ(comparator.Parse(), E_INVALIDARG) << bad;
        EXPECT_EQ(comparator.Operator(), ccoEqual) << bad;
    }
    comparator.Expect(nullptr);
    EXPECT_EQ(comparator.Parse(), E_INVALIDARG);
}

TEST(ConditionComparator, RefusesWhatCannotBeCompared)
{
    Value i4, ui4;
    V_VT(&i4.get()) = VT_I4;
    V_I4(&i4.get()) = 1;
    V_VT(&ui4.get()) = VT_UI4;
    V_UI4(&ui4.get()) = 1;
    bool result = true;
    for (const wchar_t* op : kOperatorNames) {
        const TestComparator comparator(op);
        EXPECT_EQ(comparator.Compare(i4.get(), ui4.get(), &result), E_INVALIDARG) << op;
    }
    EXPECT_FALSE(result);

    Value r8a, r8b;
    V_VT(&r8a.get()) = VT_R8;
    V_VT(&r8b.get()) = VT_R8;
    EXPECT_EQ(TestComparator(L"Equal").Compare(r8a.get(), r8b.get(), &result), E_INVALIDARG);
    EXPECT_EQ(TestComparator(L"Equal").Compare(VARIANT{}, VARIANT{}, &result), E_INVALIDARG);

    // No operator parsed.
    EXPECT_EQ(TestComparator().Compare(i4.get(), i4.get(), &result), E_INVALIDARG);
}

TEST(ConditionComparator, Numbers)
{
    struct Case {
        const wchar_t* op;
        VARTYPE type;
        long long actual;
        long long expected;
        bool result;
    };
    const Case cases[] = {
        {L"LessThan", VT_I4, -1, 0, true},
        {L"LessThan", VT_UI4, 0xFFFFFFFF, 0, false},
        {L"GreaterThan", VT_UI4, 0xFFFFFFFF, 0, true},
        {L"LessEqual", VT_I4, 5, 5, true},
        {L"GreaterEqual", VT_I4, 4, 5, false},
        {L"Equal", VT_I8, 0x100000000LL, 0x100000000LL, true},
        {L"Equal", VT_I8, 0x100000000LL, 0, false},
        {L"LessThan", VT_I8, -1, 0, true},
        {L"GreaterThan", VT_UI8, -1, 0, true},
        {L"NotEqual", VT_UI8, 1, 2, true},
        {L"NotEqual", VT_I4, 2, 2, false},
        {L"HasFlags", VT_I4, 6, 3, true},
        {L"HasFlags", VT_I4, 4, 3, false},
        {L"Contains", VT_UI4, 6, 3, true},
        {L"AnyContains", VT_UI8, 0x100000000LL, 0x100000000LL, true},
        {L"StartsWith", VT_I4, 1, 1, false},
        {L"EndsWith", VT_I4, 1, 1, false},
        {L"AnyStartsWith", VT_I8, 1, 1, false},
        {L"AnyEndsWith", VT_UI4, 1, 1, false},
    };
    for (const Case& c : cases) {
        Value actual, expected;
        V_VT(&actual.get()) = c.type;
        V_VT(&expected.get()) = c.type;
        V_I8(&actual.get()) = 0;
        V_I8(&expected.get()) = 0;
        if (c.type == VT_I4 || c.type == VT_UI4) {
            V_I4(&actual.get()) = static_cast<LONG>(c.actual);
            V_I4(&expected.get()) = static_cast<LONG>(c.expected);
        } else {
            V_I8(&actual.get()) = c.actual;
            V_I8(&expected.get()) = c.expected;
        }
        EXPECT_EQ(Compared(c.op, actual.get(), expected.get()), c.result)
            << c.op << " " << c.type << " " << c.actual << " " << c.expected;
    }
}

TEST(ConditionComparator, TextsIgnoreCase)
{
    struct Case {
        const wchar_t* op;
        const wchar_t* actual;
        const wchar_t* expected;
        bool result;
    };
    const Case cases[] = {
        {L"Equal", L"ABC", L"abc", true},
        {L"NotEqual", L"ABC", L"abc", false},
        {L"NotEqual", L"ABC", L"abd", true},
        {L"LessThan", L"ab", L"abc", true},
        {L"LessThan", L"B", L"a", false},
        {L"GreaterEqual", L"b", L"A", true},
        {L"LessEqual", L"abc", L"ABC", true},
        {L"EndsWith", L"Hello", L"LO", true},
        {L"EndsWith", L"Hello", L"he", false},
        {L"EndsWith", L"lolo", L"LO", true},
        {L"EndsWith", L"ab", L"abc", false},
        {L"StartsWith", L"Hello", L"HE", true},
        {L"StartsWith", L"Hello", L"lo", false},
        {L"Contains", L"Hello", L"ELL", true},
        {L"HasFlags", L"Hello", L"x", false},
        {L"AnyContains", L"Hello", L"LL", true},
        {L"AnyStartsWith", L"Hello", L"h", true},
        {L"AnyEndsWith", L"Hello", L"O", true},
    };
    for (const Case& c : cases) {
        Value actual, expected;
        SetText(actual.get(), c.actual);
        SetText(expected.get(), c.expected);
        EXPECT_EQ(Compared(c.op, actual.get(), expected.get()), c.result)
            << c.op << " " << _stringx(c.actual).c_narrow() << " " << _stringx(c.expected).c_narrow();
    }

    // A null BSTR is the empty text.
    Value empty, null;
    SetText(empty.get(), L"");
    V_VT(&null.get()) = VT_BSTR;
    V_BSTR(&null.get()) = nullptr;
    EXPECT_TRUE(Compared(L"Equal", null.get(), empty.get()));
}

TEST(ConditionComparator, TextLists)
{
    struct Case {
        const wchar_t* op;
        std::initializer_list<const wchar_t*> actual;
        std::initializer_list<const wchar_t*> expected;
        bool result;
    };
    const Case cases[] = {
        // Only the first elements, unless the operator is one of the Any kind.
        {L"Equal", {L"a", L"b"}, {L"A"}, true},
        {L"Equal", {L"a", L"b"}, {L"B"}, false},
        {L"Contains", {L"xyz", L"abc"}, {L"B"}, false},
        {L"AnyContains", {L"xyz", L"abc"}, {L"q", L"B"}, true},
        {L"AnyContains", {L"xyz", L"abc"}, {L"q", L"r"}, false},
        {L"AnyStartsWith", {L"xyz", L"abc"}, {L"AB"}, true},
        {L"AnyEndsWith", {L"xyz", L"abc"}, {L"q", L"YZ"}, true},
        {L"AnyEndsWith", {L"xyz", L"abc"}, {L"x", L"a"}, false},
        {L"Equal", {}, {}, true},
        {L"Equal", {}, {L"x"}, false},
        {L"AnyContains", {}, {L""}, false},
        {L"LessThan", {L"ab", L"z"}, {L"abc"}, true},
    };
    for (const Case& c : cases) {
        Value actual, expected;
        SetList(actual.get(), c.actual);
        SetList(expected.get(), c.expected);
        EXPECT_EQ(Compared(c.op, actual.get(), expected.get()), c.result) << c.op;
    }
}

TEST(ConditionComparator, ListsMustBeOneDimensionalTexts)
{
    Value good;
    SetList(good.get(), {L"a"});

    SAFEARRAYBOUND bounds[2] = {{1, 1}, {1, 1}};
    Value square;
    V_VT(&square.get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&square.get()) = SafeArrayCreate(VT_BSTR, 2, bounds);

    Value numbers;
    V_VT(&numbers.get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&numbers.get()) = SafeArrayCreate(VT_I4, 1, bounds);

    Value none;
    V_VT(&none.get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&none.get()) = nullptr;

    const TestComparator comparator(L"Equal");
    bool result = false;
    for (Value* bad : {&square, &numbers, &none}) {
        try {
            comparator.Compare(good.get(), bad->get(), &result);
            ADD_FAILURE() << "no exception";
        } catch (const kr::safe_array_exception& failure) {
            EXPECT_EQ(failure.hresult(), E_INVALIDARG);
        }
        EXPECT_THROW(comparator.Compare(bad->get(), good.get(), &result), kr::safe_array_exception);
    }
}

} // namespace
