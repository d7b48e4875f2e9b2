// The parcel and feature collections: lookup by position and by name, the
// enumerator, and the same members reached late-bound through the type
// library embedded in the program.

#include "TestObjects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

com::Variant Int32(LONG value)
{
    return com::Variant::Int32(value);
}

com::Variant Typed(VARTYPE type, LONGLONG value)
{
    com::Variant v;
    v.Get().vt = type;
    v.Get().llVal = value;
    return v;
}

std::wstring NameOf(IParcel* parcel)
{
    com::Bstr name;
    if (!parcel || FAILED(parcel->get_Name(name.Put())))
        return L"<none>";
    return std::wstring(name.View());
}

std::wstring NameOf(IDispatch* item)
{
    com::ComPtr<IParcel> parcel;
    if (!item || FAILED(item->QueryInterface(IID_IParcel, parcel.PutVoid())))
        return L"<none>";
    return NameOf(parcel.Get());
}

class ParcelCollectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, com::MakeObject(collection));
        for (const wchar_t* name : {L"Core", L"2", L"Tools"}) {
            com::ComPtr<com::Object<TestParcel>> parcel;
            ASSERT_EQ(S_OK, com::MakeObject(parcel, std::wstring(name)));
            ASSERT_EQ(S_OK, collection->Add(name, parcel.Get()));
            parcels.push_back(parcel);
        }
    }

    std::wstring ItemName(const com::Variant& index, HRESULT expected = S_OK)
    {
        com::ComPtr<IParcel> item;
        EXPECT_EQ(expected, collection->get_Item(index.Get(), item.Put()));
        return NameOf(item.Get());
    }

    Apartment apartment;
    com::ComPtr<com::Object<CParcelCollection>> collection;
    std::vector<com::ComPtr<com::Object<TestParcel>>> parcels;
};

} // namespace

TEST_F(ParcelCollectionTest, ItemByPositionAndByName)
{
    long count = 0;
    ASSERT_EQ(S_OK, collection->get_Count(&count));
    EXPECT_EQ(3, count);
    EXPECT_EQ(L"Core", ItemName(Int32(1)));
    EXPECT_EQ(L"Tools", ItemName(Int32(3)));
    EXPECT_EQ(L"Tools", ItemName(com::Variant::Int16(3)));
    EXPECT_EQ(L"2", ItemName(Typed(VT_UI2, 2)));
    EXPECT_EQ(L"Tools", ItemName(Typed(VT_UI4, 3)));

    // Names, without regard to case; the text "2" names an entry, not a position.
    EXPECT_EQ(L"Tools", ItemName(com::Variant::String(L"tOOLS")));
    EXPECT_EQ(L"2", ItemName(com::Variant::String(L"2")));
    // 8- and 64-bit numbers are looked up as names.
    EXPECT_EQ(L"2", ItemName(Typed(VT_I8, 2)));
    EXPECT_EQ(L"2", ItemName(Typed(VT_UI1, 2)));
    EXPECT_EQ(L"<none>", ItemName(Typed(VT_I8, 1), E_INVALIDARG));

    // A by-reference variant of a variant is followed.
    com::Variant inner = Int32(2);
    com::Variant outer;
    outer.Get().vt = VT_VARIANT | VT_BYREF;
    outer.Get().pvarVal = &inner.Get();
    EXPECT_EQ(L"2", ItemName(outer));
}

TEST_F(ParcelCollectionTest, ItemThatMatchesNothing)
{
    for (LONG index : {LONG{0}, LONG{4}, LONG{-1}, LONG_MIN})
        EXPECT_EQ(L"<none>", ItemName(Int32(index), E_INVALIDARG)) << index;
    EXPECT_EQ(L"<none>", ItemName(Typed(VT_UI4, 0xFFFFFFFFu), E_INVALIDARG));
    EXPECT_EQ(L"<none>", ItemName(com::Variant::String(L"Core2"), E_INVALIDARG));
    com::Variant unconvertible;
    unconvertible.Get().vt = VT_DISPATCH;
    unconvertible.Get().pdispVal = nullptr;
    EXPECT_EQ(L"<none>", ItemName(unconvertible, E_INVALIDARG));

    EXPECT_EQ(E_POINTER, collection->get_Item(Int32(1).Get(), nullptr));
    EXPECT_EQ(E_POINTER, collection->get_Count(nullptr));
    EXPECT_EQ(E_POINTER, collection->get__NewEnum(nullptr));
}

TEST_F(ParcelCollectionTest, AddingAPresentNameReplacesTheItem)
{
    com::ComPtr<com::Object<TestParcel>> replacement;
    ASSERT_EQ(S_OK, com::MakeObject(replacement, std::wstring(L"Replacement")));
    ASSERT_EQ(S_OK, collection->Add(L"CORE", replacement.Get()));
    EXPECT_EQ(3u, collection->Size());
    EXPECT_EQ(L"Replacement", ItemName(Int32(1)));
    EXPECT_EQ(L"Replacement", ItemName(com::Variant::String(L"core")));

    EXPECT_TRUE(collection->Remove(L"tools"));
    EXPECT_FALSE(collection->Remove(L"tools"));
    EXPECT_EQ(2u, collection->Size());
    EXPECT_EQ(L"<none>", ItemName(com::Variant::String(L"Tools"), E_INVALIDARG));
    collection->RemoveAll();
    EXPECT_EQ(0u, collection->Size());
}

TEST_F(ParcelCollectionTest, EnumeratorNextSkipResetClone)
{
    com::ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, collection->get__NewEnum(unknown.Put()));
    com::ComPtr<IEnumVARIANT> items;
    ASSERT_EQ(S_OK, unknown.As(IID_IEnumVARIANT, items));

    VARIANT got[3];
    ULONG fetched = 99;
    ASSERT_EQ(S_OK, items->Next(1, got, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(VT_DISPATCH, got[0].vt);
    EXPECT_EQ(L"Core", NameOf(got[0].pdispVal));
    VariantClear(&got[0]);

    // A clone continues from the same place, on its own.
    com::ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(S_OK, items->Clone(clone.Put()));

    // Three asked, two left: two given and S_FALSE; then nothing and S_FALSE.
    EXPECT_EQ(S_FALSE, items->Next(3, got, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(L"2", NameOf(got[0].pdispVal));
    EXPECT_EQ(L"Tools", NameOf(got[1].pdispVal));
    VariantClear(&got[0]);
    VariantClear(&got[1]);
    EXPECT_EQ(S_FALSE, items->Next(3, got, &fetched));
    EXPECT_EQ(0u, fetched);

    ASSERT_EQ(S_OK, clone->Next(1, got, nullptr));
    EXPECT_EQ(L"2", NameOf(got[0].pdispVal));
    VariantClear(&got[0]);

    EXPECT_EQ(E_POINTER, items->Next(2, got, nullptr));
    EXPECT_EQ(E_POINTER, items->Next(1, nullptr, &fetched));
    ASSERT_EQ(S_OK, items->Reset());
    EXPECT_EQ(S_OK, items->Skip(2));
    EXPECT_EQ(S_FALSE, items->Skip(2));
    EXPECT_EQ(S_FALSE, items->Next(1, got, &fetched));
    EXPECT_EQ(0u, fetched);
}

// The enumerator keeps its collection (and the collection its items) alive.
TEST(CollectionLifetime, EnumeratorOutlivesAShortLivedCollection)
{
    Apartment apartment;
    com::ComPtr<IEnumVARIANT> items;
    {
        com::ComPtr<com::Object<CParcelCollection>> upgrades;
        ASSERT_EQ(S_OK, com::MakeObject(upgrades));
        com::ComPtr<com::Object<TestParcel>> parcel;
        ASSERT_EQ(S_OK, com::MakeObject(parcel, std::wstring(L"Runtime")));
        ASSERT_EQ(S_OK, upgrades->Add(L"Runtime", parcel.Get()));
        com::ComPtr<IUnknown> unknown;
        ASSERT_EQ(S_OK, upgrades->get__NewEnum(unknown.Put()));
        ASSERT_EQ(S_OK, unknown.As(IID_IEnumVARIANT, items));
    }
    VARIANT got;
    ASSERT_EQ(S_OK, items->Next(1, &got, nullptr));
    EXPECT_EQ(L"Runtime", NameOf(got.pdispVal));
    VariantClear(&got);
}

// Late-bound Item (identifier 0) and _NewEnum (-4) reach the same members as
// the virtual-table calls; the library is read from the program, not the registry.
TEST_F(ParcelCollectionTest, LateBoundItemAndNewEnum)
{
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, collection.As(IID_IDispatch, dispatch));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Item"), const_cast<LPOLESTR>(L"_NewEnum"),
                        const_cast<LPOLESTR>(L"Count")};
    DISPID ids[3] = {};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &names[i], 1, LOCALE_USER_DEFAULT, &ids[i]));
    EXPECT_EQ(DISPID_VALUE, ids[0]);
    EXPECT_EQ(DISPID_NEWENUM, ids[1]);
    EXPECT_EQ(1, ids[2]);

    com::Variant index = com::Variant::String(L"TOOLS");
    VARIANT argument = index.Get();
    DISPPARAMS one = {&argument, nullptr, 1, 0};
    com::Variant result;
    ASSERT_EQ(S_OK, dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &one,
                                     result.Put(), nullptr, nullptr));
    ASSERT_EQ(VT_DISPATCH, result.Type());
    EXPECT_EQ(L"Tools", NameOf(result.Get().pdispVal));

    com::Variant zero = Int32(0);
    argument = zero.Get();
    EXCEPINFO exception{};
    EXPECT_EQ(DISP_E_EXCEPTION, dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                                 &one, result.Put(), &exception, nullptr));
    EXPECT_EQ(E_INVALIDARG, exception.scode);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(S_OK, dispatch->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     result.Put(), nullptr, nullptr));
    ASSERT_EQ(VT_UNKNOWN, result.Type());
    com::ComPtr<IEnumVARIANT> items;
    ASSERT_EQ(S_OK, result.Get().punkVal->QueryInterface(IID_IEnumVARIANT, items.PutVoid()));
    VARIANT got;
    ASSERT_EQ(S_OK, items->Next(1, &got, nullptr));
    EXPECT_EQ(L"Core", NameOf(got.pdispVal));
    VariantClear(&got);
}

TEST(FeatureCollection, ServesFeatures)
{
    Apartment apartment;
    com::ComPtr<com::Object<CFeatureCollection>> features;
    ASSERT_EQ(S_OK, com::MakeObject(features));
    com::ComPtr<com::Object<TestFeature>> feature;
    ASSERT_EQ(S_OK, com::MakeObject(feature, std::wstring(L"Docs")));
    ASSERT_EQ(S_OK, features->Add(L"Docs", feature.Get()));

    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, features.As(IID_IDispatch, dispatch));
    com::Variant index = Int32(1);
    VARIANT argument = index.Get();
    DISPPARAMS one = {&argument, nullptr, 1, 0};
    com::Variant result;
    ASSERT_EQ(S_OK, dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &one,
                                     result.Put(), nullptr, nullptr));
    ASSERT_EQ(VT_DISPATCH, result.Type());
    com::ComPtr<IFeature> found;
    ASSERT_EQ(S_OK, result.Get().pdispVal->QueryInterface(IID_IFeature, found.PutVoid()));
    com::Bstr name;
    ASSERT_EQ(S_OK, found->get_Name(name.Put()));
    EXPECT_EQ(L"Docs", name.View());
    EXPECT_EQ(E_INVALIDARG, features->Add(L"Empty", nullptr));
}
