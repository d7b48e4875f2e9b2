// IEnumVARIANT over a collection, reached through the counter's _NewEnum.
#include "TestSupport.h"

#include <com/CollectionKey.h>

namespace {

class EnumeratorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        counter = server.NewCounter();
        ASSERT_TRUE(counter);
        LONG total = 0;
        for (LONG amount : {10, 20}) {
            ASSERT_EQ(counter->Add(amount, &total), S_OK);
        }
        com::ComPtr<IUnknown> items;
        ASSERT_EQ(counter->get__NewEnum(items.Put()), S_OK);
        ASSERT_EQ(items.As(IID_IEnumVARIANT, enumerator), S_OK);
    }

    Apartment apartment;
    TestServer server;
    com::ComPtr<ICounter> counter;
    com::ComPtr<IEnumVARIANT> enumerator;
};

TEST_F(EnumeratorTest, NextFillsWhatIsLeftAndSaysWhenItFellShort)
{
    VARIANT items[3];
    ULONG fetched = 99;
    ASSERT_EQ(enumerator->Next(3, items, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(items[0].vt, VT_I4);
    EXPECT_EQ(items[0].lVal, 10);
    EXPECT_EQ(items[1].lVal, 20);
    VariantClear(&items[0]);
    VariantClear(&items[1]);
    EXPECT_EQ(enumerator->Next(1, items, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Next(1, items, nullptr), S_OK); // one item needs no count
    EXPECT_EQ(items[0].lVal, 10);
    EXPECT_EQ(enumerator->Next(2, items, nullptr), E_POINTER);
    EXPECT_EQ(enumerator->Next(1, nullptr, &fetched), E_POINTER);
}

TEST_F(EnumeratorTest, SkipStopsAtTheEnd)
{
    EXPECT_EQ(enumerator->Skip(1), S_OK);
    VARIANT item;
    ASSERT_EQ(enumerator->Next(1, &item, nullptr), S_OK);
    EXPECT_EQ(item.lVal, 20);
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(3), S_FALSE);
    EXPECT_EQ(enumerator->Next(1, &item, nullptr), S_FALSE);
}

TEST_F(EnumeratorTest, CloneContinuesFromTheSamePlaceOnItsOwn)
{
    VARIANT item;
    ASSERT_EQ(enumerator->Next(1, &item, nullptr), S_OK);
    com::ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(enumerator->Clone(clone.Put()), S_OK);
    ASSERT_EQ(clone->Next(1, &item, nullptr), S_OK);
    EXPECT_EQ(item.lVal, 20);
    ASSERT_EQ(enumerator->Next(1, &item, nullptr), S_OK);
    EXPECT_EQ(item.lVal, 20);
    EXPECT_EQ(clone->Reset(), S_OK);
    ASSERT_EQ(clone->Next(1, &item, nullptr), S_OK);
    EXPECT_EQ(item.lVal, 10);
    EXPECT_EQ(enumerator->Clone(nullptr), E_POINTER);
}

TEST(CollectionKey, IntegersArePositionsAndEverythingElseIsAName)
{
    struct Case {
        VARIANT value;
        bool byPosition;
        LONG position;
        const wchar_t *name;
    };
    VARIANT i2{}, i4{}, ui4{}, i1{}, i8{}, text{}, inner{}, ref{};
    i2.vt = VT_I2, i2.iVal = 2;
    i4.vt = VT_I4, i4.lVal = -1;
    ui4.vt = VT_UI4, ui4.ulVal = 3;
    i1.vt = VT_I1, i1.cVal = 2;
    i8.vt = VT_I8, i8.llVal = 2;
    text.vt = VT_BSTR, text.bstrVal = SysAllocString(L"2");
    inner.vt = VT_I4, inner.lVal = 4;
    ref.vt = VT_VARIANT | VT_BYREF, ref.pvarVal = &inner;
    const Case cases[] = {
        {i2, true, 2, L""},   {i4, true, -1, L""}, {ui4, true, 3, L""}, {i1, false, 0, L"2"},
        {i8, false, 0, L"2"}, {text, false, 0, L"2"}, {ref, true, 4, L""},
    };
    for (const Case &c : cases) {
        com::CollectionKey key;
        ASSERT_EQ(com::ResolveCollectionKey(c.value, key), S_OK);
        EXPECT_EQ(key.byPosition, c.byPosition);
        EXPECT_EQ(key.position, c.position);
        EXPECT_EQ(key.name, c.name);
    }
    SysFreeString(text.bstrVal);

    VARIANT object{};
    object.vt = VT_UNKNOWN; // null object: no text to be had
    com::CollectionKey key;
    EXPECT_TRUE(FAILED(com::ResolveCollectionKey(object, key)));
}

} // namespace
