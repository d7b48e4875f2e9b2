// The server module: the type library it is built with, the identity it takes
// from the library beside it, its exports, unloading and its version resource.
#include "ServerSupport.h"

#include <fstream>
#include <sstream>

namespace {

const wchar_t kServer[] = L"DravioCOM_x64.dll";
const wchar_t kTypeLibrary[] = L"DravioCOM_x64.tlb";

// {3D5C7E21-6A0B-4F39-8E12-5B7A9C0D1E0n} of data/OtherServer.idl, {7A1F0B36-...-0B2C3D4E5F0n} of SwappedServer.idl.
const GUID kOtherEvents = {0x3D5C7E21, 0x6A0B, 0x4F39, {0x8E, 0x12, 0x5B, 0x7A, 0x9C, 0x0D, 0x1E, 0x01}};
const GUID kOtherInterface = {0x3D5C7E21, 0x6A0B, 0x4F39, {0x8E, 0x12, 0x5B, 0x7A, 0x9C, 0x0D, 0x1E, 0x02}};
const GUID kOtherClass = {0x3D5C7E21, 0x6A0B, 0x4F39, {0x8E, 0x12, 0x5B, 0x7A, 0x9C, 0x0D, 0x1E, 0x03}};
const GUID kSwappedEvents = {0x7A1F0B36, 0x2C4D, 0x4E58, {0x9F, 0x61, 0x0B, 0x2C, 0x3D, 0x4E, 0x5F, 0x01}};
const GUID kSwappedInterface = {0x7A1F0B36, 0x2C4D, 0x4E58, {0x9F, 0x61, 0x0B, 0x2C, 0x3D, 0x4E, 0x5F, 0x02}};
const GUID kSwappedClass = {0x7A1F0B36, 0x2C4D, 0x4E58, {0x9F, 0x61, 0x0B, 0x2C, 0x3D, 0x4E, 0x5F, 0x03}};

// The uuid attribute of the library block of an IDL file, as a GUID.
GUID LibraryIdOfIdl(const char *path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    GUID guid = {};
    size_t library = source.find("\nlibrary ");
    size_t open = source.rfind('[', library);
    size_t uuid = source.find("uuid(", open);
    if (library == std::string::npos || open == std::string::npos || uuid == std::string::npos || uuid > library) {
        return guid;
    }
    std::string digits = source.substr(uuid + 5, 36);
    std::wstring braced = L"{" + std::wstring(digits.begin(), digits.end()) + L"}";
    CLSIDFromString(braced.c_str(), &guid);
    return guid;
}

TEST(TypeLibrary, LibraryIdentifierEqualsTheIdls)
{
    GUID fromIdl = LibraryIdOfIdl("../DravioCOM.idl");
    ASSERT_FALSE(IsEqualGUID(fromIdl, GUID_NULL));
    com::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx((ProgramFolder() + L"\\" + kTypeLibrary).c_str(), REGKIND_NONE, library.Put()), S_OK);
    TLIBATTR *attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, fromIdl));
    library->ReleaseTLibAttr(attributes);
}

TEST(TypeLibrary, DeclaresEventsThenTheDualInterfaceThenTheClass)
{
    com::ComPtr<ITypeLib> library;
    ASSERT_EQ(LoadTypeLibEx((ProgramFolder() + L"\\" + kTypeLibrary).c_str(), REGKIND_NONE, library.Put()), S_OK);
    ASSERT_EQ(library->GetTypeInfoCount(), 3u);
    const struct {
        TYPEKIND kind;
        const GUID *guid;
    } expected[] = {
        {TKIND_DISPATCH, &DIID__IDravioInterfaceEvents},
        {TKIND_DISPATCH, &IID_IDravioInterface},
        {TKIND_COCLASS, &CLSID_DravioInterface},
    };
    for (UINT i = 0; i < 3; ++i) {
        com::ComPtr<ITypeInfo> info;
        ASSERT_EQ(library->GetTypeInfo(i, info.Put()), S_OK);
        TYPEATTR *attributes = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
        EXPECT_EQ(attributes->typekind, expected[i].kind) << i;
        EXPECT_TRUE(IsEqualGUID(attributes->guid, *expected[i].guid)) << i;
        if (i == 1) {
            EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
            EXPECT_EQ(attributes->cFuncs, 7u + 61u); // IDispatch's seven, then the interface's own
            // The interface derives from stdole's IDispatch (widl's import of it is repaired at build).
            HREFTYPE twin = 0;
            com::ComPtr<ITypeInfo> vtable;
            ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &twin), S_OK);
            ASSERT_EQ(info->GetRefTypeInfo(twin, vtable.Put()), S_OK);
            HREFTYPE base = 0;
            com::ComPtr<ITypeInfo> baseInfo;
            ASSERT_EQ(vtable->GetRefTypeOfImplType(0, &base), S_OK);
            ASSERT_EQ(vtable->GetRefTypeInfo(base, baseInfo.Put()), S_OK);
            TYPEATTR *baseAttributes = nullptr;
            ASSERT_EQ(baseInfo->GetTypeAttr(&baseAttributes), S_OK);
            EXPECT_TRUE(IsEqualGUID(baseAttributes->guid, IID_IDispatch));
            baseInfo->ReleaseTypeAttr(baseAttributes);
        }
        info->ReleaseTypeAttr(attributes);
    }
}

TEST(Module, LoadsOnlyWithItsTypeLibraryBeside)
{
    Apartment apartment;
    TempFolder folder;
    ASSERT_TRUE(folder.CopyIn(kServer, kServer));
    {
        ServerModule alone(folder.Path() + L"\\" + kServer);
        EXPECT_FALSE(alone.Loaded());
    }
    // A library that names no class would leave the server without identity.
    ASSERT_TRUE(folder.CopyIn(L"NoClassServer.tlb", kTypeLibrary));
    {
        ServerModule classless(folder.Path() + L"\\" + kServer);
        EXPECT_FALSE(classless.Loaded());
    }
    ASSERT_TRUE(folder.CopyIn(kTypeLibrary, kTypeLibrary));
    ServerModule server(folder.Path() + L"\\" + kServer);
    ASSERT_TRUE(server.Loaded());
    EXPECT_TRUE(server.Create());
}

TEST(Module, ExportsItsFourEntriesByNameAndOrdinal)
{
    ServerModule server(ProgramFolder() + L"\\" + kServer);
    ASSERT_TRUE(server.Loaded());
    const char *names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer", "DllUnregisterServer"};
    for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
        FARPROC byOrdinal = GetProcAddress(server.Handle(), MAKEINTRESOURCEA(ordinal));
        ASSERT_NE(byOrdinal, nullptr) << ordinal;
        EXPECT_EQ(byOrdinal, GetProcAddress(server.Handle(), names[ordinal - 1])) << ordinal;
    }
    EXPECT_EQ(GetProcAddress(server.Handle(), MAKEINTRESOURCEA(5)), nullptr);
}

TEST(Module, TakesItsIdentityFromTheTypeLibraryBeside)
{
    Apartment apartment;
    TempFolder folder;
    ASSERT_TRUE(folder.CopyIn(kServer, kServer));
    ASSERT_TRUE(folder.CopyIn(L"OtherServer.tlb", kTypeLibrary));
    ServerModule server(folder.Path() + L"\\" + kServer);
    ASSERT_TRUE(server.Loaded());

    com::ComPtr<IClassFactory> factory;
    EXPECT_EQ(server.GetClassObject(CLSID_DravioInterface, IID_IClassFactory, factory.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(server.GetClassObject(kOtherClass, IID_IClassFactory, factory.PutVoid()), S_OK);
    com::ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()), S_OK);
    com::ComPtr<IUnknown> asInterface;
    EXPECT_EQ(object->QueryInterface(kOtherInterface, asInterface.PutVoid()), S_OK);
    EXPECT_EQ(object->QueryInterface(IID_IDravioInterface, asInterface.PutVoid()), E_NOINTERFACE);

    // The events come from the library's first dispatch type.
    com::ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(object->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
    com::ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(kOtherEvents, point.Put()), S_OK);
}

TEST(Module, DispatchTypesInTheWrongOrderSwapTheTwoIdentifiers)
{
    Apartment apartment;
    TempFolder folder;
    ASSERT_TRUE(folder.CopyIn(kServer, kServer));
    ASSERT_TRUE(folder.CopyIn(L"SwappedServer.tlb", kTypeLibrary));
    ServerModule server(folder.Path() + L"\\" + kServer);
    ASSERT_TRUE(server.Loaded());
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(server.GetClassObject(kSwappedClass, IID_IClassFactory, factory.PutVoid()), S_OK);
    com::ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()), S_OK);
    com::ComPtr<IUnknown> answer;
    EXPECT_EQ(object->QueryInterface(kSwappedEvents, answer.PutVoid()), S_OK);
    EXPECT_EQ(object->QueryInterface(kSwappedInterface, answer.PutVoid()), E_NOINTERFACE);
}

TEST(Module, RefusesToUnloadWhileAnObjectLives)
{
    Apartment apartment;
    ServerModule server(ProgramFolder() + L"\\" + kServer);
    ASSERT_TRUE(server.Loaded());
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
    com::ComPtr<IDravioInterface> object = server.Create();
    ASSERT_TRUE(object);
    EXPECT_EQ(server.CanUnloadNow(), S_FALSE);
    object.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

TEST(Module, CanBeAggregated)
{
    Apartment apartment;
    ServerModule server(ProgramFolder() + L"\\" + kServer);
    com::ComPtr<IClassFactory> factory;
    ASSERT_EQ(server.GetClassObject(CLSID_DravioInterface, IID_IClassFactory, factory.PutVoid()), S_OK);

    struct Outer : IUnknown {
        STDMETHODIMP QueryInterface(REFIID iid, void **out) override
        {
            if (IsEqualIID(iid, IID_IUnknown)) {
                *out = this;
                return S_OK;
            }
            return inner->QueryInterface(iid, out);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
        com::ComPtr<IUnknown> inner;
    } outer;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid()), S_OK);
    com::ComPtr<IDravioInterface> object;
    ASSERT_EQ(outer.QueryInterface(IID_IDravioInterface, object.PutVoid()), S_OK);
    com::ComPtr<IUnknown> identity;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown *>(&outer));
    object.Reset();
    identity.Reset();
    outer.inner.Reset();
    EXPECT_EQ(server.CanUnloadNow(), S_OK);
}

std::wstring VersionString(const std::vector<BYTE> &block, const wchar_t *name)
{
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), key.c_str(), &value, &length) || length == 0) {
        return L"";
    }
    return static_cast<const wchar_t *>(value);
}

TEST(Module, VersionResourceNamesTheServer)
{
    std::wstring path = ProgramFolder() + L"\\" + kServer;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    EXPECT_EQ(VersionString(block, L"FileDescription"), L"Dravio COM Object");
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"3.00.0.0");
    EXPECT_EQ(VersionString(block, L"InternalName"), L"DravioCOM_x64.dll");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"DravioCOM_x64.dll");
    EXPECT_EQ(VersionString(block, L"BuildType"), L"release");
    EXPECT_EQ(VersionString(block, L"Platform"), L"Windows x64");

    HMODULE image = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    wchar_t text[32] = {};
    EXPECT_GT(LoadStringW(image, 100, text, 32), 0);
    EXPECT_STREQ(text, L"DravioCOM");
    EXPECT_NE(FindResourceW(image, MAKEINTRESOURCEW(101), L"REGISTRY"), nullptr);
    FreeLibrary(image);
}

} // namespace
