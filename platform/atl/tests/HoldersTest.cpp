// The RAII holders: each owns exactly one resource and hands it over on request.
#include <com/Bstr.h>
#include <com/SafeArray.h>
#include <com/Variant.h>

#include <gtest/gtest.h>

namespace {

TEST(Holders, BstrCopiesMovesAndDetaches)
{
    com::Bstr text(std::wstring_view(L"a\0b", 3));
    EXPECT_EQ(text.Length(), 3u);
    com::Bstr copy = text;
    EXPECT_NE(copy.Get(), text.Get());
    EXPECT_EQ(copy.View(), text.View());
    com::Bstr moved = std::move(copy);
    EXPECT_TRUE(copy.IsNull());
    BSTR raw = moved.Detach();
    EXPECT_TRUE(moved.IsNull());
    SysFreeString(raw);
}

TEST(Holders, VariantCopiesDeeplyAndHoldsReferences)
{
    com::Variant text = com::Variant::String(L"value");
    com::Variant copy = text;
    ASSERT_EQ(copy.Type(), VT_BSTR);
    EXPECT_NE(copy.Get().bstrVal, text.Get().bstrVal);
    EXPECT_STREQ(copy.Get().bstrVal, L"value");

    com::Variant moved = std::move(copy);
    EXPECT_EQ(copy.Type(), VT_EMPTY);
    EXPECT_EQ(moved.Type(), VT_BSTR);

    VARIANT out;
    moved.DetachTo(out);
    EXPECT_EQ(moved.Type(), VT_EMPTY);
    VariantClear(&out);
}

TEST(Holders, SafeArrayLengthAndAccess)
{
    SAFEARRAYBOUND bound = {4, 3}; // elements 3..6
    com::SafeArray array = com::SafeArray::Adopt(SafeArrayCreate(VT_UI1, 1, &bound));
    ASSERT_TRUE(array);
    LONG count = 0;
    ASSERT_EQ(com::SafeArrayLength(array.Get(), count), S_OK);
    EXPECT_EQ(count, 4);
    {
        com::SafeArrayAccess<BYTE> data(array.Get());
        ASSERT_EQ(data.Status(), S_OK);
        data.Data()[3] = 0x5A;
        // Locked while accessed: the array cannot be destroyed.
        EXPECT_EQ(SafeArrayDestroy(array.Get()), DISP_E_ARRAYISLOCKED);
    }
    com::SafeArrayAccess<BYTE> none(nullptr);
    EXPECT_EQ(none.Status(), E_POINTER);
    EXPECT_EQ(com::SafeArrayLength(nullptr, count), E_INVALIDARG);
}

} // namespace
