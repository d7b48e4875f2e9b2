// Self-registration of the test server, then creation by ProgID through COM.
#include "TestSupport.h"

namespace {

std::wstring ClassKey()
{
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_Counter, clsid, 40);
    return std::wstring(L"CLSID\\") + clsid;
}

bool ClassesRootHas(const std::wstring &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

TEST(RegistrationTest, RegisteredServerIsCreatedByProgIdAndUnregistersCleanly)
{
    Apartment apartment;
    TestServer server;
    ASSERT_EQ(server.Register(), S_OK);
    EXPECT_TRUE(ClassesRootHas(ClassKey() + L"\\InprocServer32"));
    EXPECT_TRUE(ClassesRootHas(ClassKey() + L"\\Programmable"));

    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(L"ComLayerTest.Counter.1", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_Counter));
    {
        com::ComPtr<ICounter> counter;
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICounter, counter.PutVoid()), S_OK);
        LONG total = 0;
        EXPECT_EQ(counter->Add(3, &total), S_OK);
        EXPECT_EQ(total, 3);
    }
    com::ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_ComLayerTestLib, 1, 0, LOCALE_NEUTRAL, library.Put()), S_OK);
    library.Reset();

    ASSERT_EQ(server.Unregister(), S_OK);
    EXPECT_FALSE(ClassesRootHas(ClassKey()));
    EXPECT_FALSE(ClassesRootHas(L"ComLayerTest.Counter.1"));
    EXPECT_TRUE(ClassesRootHas(L"CLSID"));
    EXPECT_NE(LoadRegTypeLib(LIBID_ComLayerTestLib, 1, 0, LOCALE_NEUTRAL, library.Put()), S_OK);
}

TEST(RegistrationTest, TypeLibraryCarriesTheIdentifiersOfItsIdl)
{
    // widl breaks both when a dispinterface precedes a dual interface; the build repairs them.
    com::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx(L"com_layer_testserver.dll", REGKIND_NONE, library.Put()), S_OK);
    TLIBATTR *attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_ComLayerTestLib));
    library->ReleaseTLibAttr(attributes);

    com::ComPtr<ITypeInfo> dual;
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_ICounter, dual.Put()), S_OK);
    HREFTYPE base = 0;
    com::ComPtr<ITypeInfo> baseInfo;
    ASSERT_EQ(dual->GetRefTypeOfImplType(0, &base), S_OK);
    ASSERT_EQ(dual->GetRefTypeInfo(base, baseInfo.Put()), S_OK);
    TYPEATTR *baseAttributes = nullptr;
    ASSERT_EQ(baseInfo->GetTypeAttr(&baseAttributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(baseAttributes->guid, IID_IDispatch));
    baseInfo->ReleaseTypeAttr(baseAttributes);
}

} // namespace
