#include "kr/safe_array.h"

#include "kr/com_exception.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeArray, BuildAListAndHandItOnInAVariant)
{
    kr::safe_array list;
    list.create(3);
    EXPECT_EQ(list.lower_bound(), 1);
    EXPECT_EQ(list.upper_bound(), 3);
    EXPECT_EQ(list[1].value(), nullptr);

    const wchar_t* texts[] = {L"first", L"second", L""};
    for (LONG i = 1; i <= 3; ++i)
        list[i] = texts[i - 1];

    VARIANT holder;
    VariantInit(&holder);
    V_VT(&holder) = VT_ARRAY | VT_BSTR;
    V_ARRAY(&holder) = list.detach();
    EXPECT_EQ(list.get(), nullptr);

    kr::safe_array reader;
    reader.attach(V_ARRAY(&holder));
    EXPECT_FALSE(reader.owned());
    for (LONG i = reader.lower_bound(); i <= reader.upper_bound(); ++i)
        EXPECT_EQ(_stringx(reader[i].value()), texts[i - 1]) << i;
    EXPECT_EQ(SysStringLen(reader[3].value()), 0u);

    // Forgetting an attached array leaves it to the VARIANT.
    reader.destroy();
    EXPECT_EQ(reader.get(), nullptr);
    EXPECT_EQ(SafeArrayGetDim(V_ARRAY(&holder)), 1u);
    EXPECT_EQ(VariantClear(&holder), S_OK);
}

TEST(SafeArray, EmptyArraysAndEmptyObjects)
{
    kr::safe_array none;
    EXPECT_EQ(none.lower_bound(), 0);
    EXPECT_EQ(none.upper_bound(), -1);
    EXPECT_THROW(none[0], HRESULT);

    kr::safe_array zero;
    zero.create(0);
    EXPECT_EQ(zero.lower_bound(), 1);
    EXPECT_EQ(zero.upper_bound(), 0);
}

TEST(SafeArray, ElementsAreExactSharedCopies)
{
    kr::safe_array list;
    list.create(1);
    list[1] = _stringx(L"a\0b", 3);
    const kr::safe_array::element first = list[1];
    EXPECT_EQ(SysStringLen(first.value()), 3u);
    EXPECT_EQ(first.value()[2], L'b');

    const kr::safe_array::element copy = first;
    EXPECT_EQ(copy.value(), first.value());

    kr::safe_array::element accessor = list[1];
    accessor = L"replaced";
    EXPECT_EQ(SysStringLen(accessor.value()), 3u);
    EXPECT_EQ(_stringx(list[1].value()), L"replaced");
}

TEST(SafeArray, BadArraysAndIndexes)
{
    kr::safe_array list;
    list.create(2);
    SAFEARRAY* held = list.get();

    try {
        list.attach(nullptr);
        FAIL() << "no exception";
    } catch (const kr::safe_array_exception& e) {
        EXPECT_EQ(e.hresult(), E_INVALIDARG);
    }
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    SAFEARRAY* square = SafeArrayCreate(VT_BSTR, 2, bounds);
    EXPECT_THROW(list.attach(square), kr::safe_array_exception);
    SafeArrayDestroy(square);
    EXPECT_EQ(list.get(), held);
    EXPECT_TRUE(list.owned());

    // The array already held: nothing changes, ownership included.
    list.attach(held);
    EXPECT_EQ(list.get(), held);
    EXPECT_TRUE(list.owned());

    try {
        list[3] = L"beyond";
        FAIL() << "no exception";
    } catch (HRESULT hr) {
        EXPECT_EQ(hr, DISP_E_BADINDEX);
    }
    EXPECT_THROW(list[0], HRESULT);
}

} // namespace
