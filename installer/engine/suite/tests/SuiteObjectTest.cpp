// Object expressions through the real engine's formatted strings: the
// launcher's own scripting objects and a resource DLL's, created by name for
// every evaluation.

#include <gtest/gtest.h>

#include <string>

#include <com/Bstr.h>
#include <com/ComPtr.h>

#include "EngineTestSupport.h"
#include "NothrowAllocationSeam.h"
#include "TestFolder.h"
#include "support/ConditionTestSupport.h"

using engine_testing::NewEngine;
using testing_support::TraceCapture;

namespace {

const wchar_t kTestKey[] = L"Software\\TessarelSuiteObjectTest";

FILETIME Utc(WORD year, WORD month, WORD day)
{
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = 12;
    FILETIME result = {};
    SystemTimeToFileTime(&time, &result);
    return result;
}

// A real engine on Windows 6.3 whose staging folder is a fresh folder.
class SuiteObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        OSVERSIONINFOEXW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        info.dwMajorVersion = 6;
        info.dwMinorVersion = 3;
        info.dwBuildNumber = 9600;
        info.wProductType = VER_NT_WORKSTATION;
        wcscpy(info.szCSDVersion, L"Service Pack 9");
        engine_->SetOsVersionInfo(info);
        engine_->SetSupportFolder(staging_.path().c_str());
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

    std::wstring Expand(const std::wstring& text) { return engine_->FormatString(text.c_str()).c_str(); }
    // The stand-in resource DLL in the staging folder under that name.
    void StageResourceDll(const std::wstring& name, const wchar_t* from = L"ResourceObjectStandIn.dll")
    {
        ASSERT_TRUE(CopyFileW((ProgramFolder() + from).c_str(), (staging_ / name).c_str(), FALSE)) << name;
    }
    template <class Interface>
    com::ComPtr<Interface> Own(const wchar_t* name, const IID& iid)
    {
        com::ComPtr<IDispatch> object;
        HMODULE module = reinterpret_cast<HMODULE>(1);
        EXPECT_EQ(S_OK, engine_->CreateSuiteObject(name, object.Put(), &module)) << name;
        EXPECT_EQ(nullptr, module) << "the launcher's own objects come from no DLL";
        com::ComPtr<Interface> typed;
        if (object) {
            EXPECT_EQ(S_OK, object->QueryInterface(iid, typed.PutVoid()));
        }
        return typed;
    }

    TraceCapture trace_;
    TestFolder staging_;
    com::ComPtr<CSetupEngine> engine_ = NewEngine();
};

TEST_F(SuiteObjects, PlatformMembersReadTheEnginesVersion)
{
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"[@Platform.FullVersion]", L"603"},
        {L"[@Platform.Value]", L"603"},
        {L"[@Platform.MajorVersion].[@Platform.MinorVersion]", L"6.3"},
        {L"[@Platform.BuildNumber]", L"9600"},
        {L"[@Platform.ProductType]", L"1"},
        {L"[@Platform.CSDVersion]", L"Service Pack 9"},
        {L"[@Platform.Architecture]", sizeof(void*) == 8 ? L"x64" : L"x86"},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(expected, Expand(text)) << text;
}

TEST_F(SuiteObjects, NamesMatchExactlyAndOthersAreResourceDllReferences)
{
    struct Row {
        const wchar_t* text;
        const wchar_t* line;  // expected in the trace; null: no line of the resource-DLL way
    };
    const Row rows[] = {
        {L"[@platform.FullVersion]", L"Invalid resource name or object name in SON extension object reference: Dll '', Object 'platform'"},
        {L"[@FILE(x).Version]", L"Invalid resource name or object name in SON extension object reference: Dll '', Object 'FILE'"},
        {L"[@registry.Value]", L"Invalid resource name or object name in SON extension object reference: Dll '', Object 'registry'"},
        {L"[@Res:.Member]", L"Invalid resource name or object name in SON extension object reference: Dll 'Res', Object ''"},
        {L"[@Res:Obj.Member]", L"Unknown resource DLL in SON extension object reference: Res.dll"},
        {L"[@:Obj.Member]", nullptr},
    };
    for (const Row& row : rows) {
        const std::wstring before = trace_.Messages();
        EXPECT_EQ(L"", Expand(row.text)) << row.text;
        const std::wstring added = trace_.Messages().substr(before.size());
        if (row.line)
            EXPECT_NE(std::wstring::npos, added.find(row.line)) << row.text << "\n" << added;
        else
            EXPECT_EQ(std::wstring::npos, added.find(L"SON extension object")) << added;
    }
    com::ComPtr<IDispatch> object;
    HMODULE module = nullptr;
    EXPECT_EQ(E_NOINTERFACE, engine_->CreateSuiteObject(L":Obj", object.Put(), &module));
    EXPECT_EQ(E_NOINTERFACE, engine_->CreateSuiteObject(L"Res:Obj", object.Put(), &module));
    EXPECT_EQ(nullptr, module);
}

TEST_F(SuiteObjects, FileDateChoosesTheTimeByItsArgument)
{
    const std::wstring path = staging_ / L"dated.txt";
    WriteBytes(path, "content");
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const FILETIME created = Utc(2001, 2, 3), accessed = Utc(1999, 4, 5), written = Utc(2011, 6, 7);
    ASSERT_TRUE(SetFileTime(file, &created, &accessed, &written));
    CloseHandle(file);
    engine_->SetProperty(L"DatedFile", path.c_str(), false);
    // Wine keeps no creation time on a Unix file system (it reports the last write there), so
    // here "create" is checked against what the system reports and "access" tells the kinds apart.
    WIN32_FILE_ATTRIBUTE_DATA reported = {};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &reported));
    SYSTEMTIME creation = {};
    FileTimeToSystemTime(&reported.ftCreationTime, &creation);
    const std::wstring createdYear = std::to_wstring(creation.wYear);

    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"Create", createdYear.c_str()}, {L"CREATE", createdYear.c_str()}, {L"create", createdYear.c_str()},
        {L"Access", L"1999"}, {L"Foo", L"2011"}, {L"modified", L"2011"}, {L"", L"2011"},
    };
    for (const auto& [kind, year] : rows) {
        const std::wstring text = L"[@File([DatedFile]).Date(" + std::wstring(kind) + L")]";
        const std::wstring value = Expand(text);
        EXPECT_NE(std::wstring::npos, value.find(year)) << text << " gave " << value;
    }
    EXPECT_EQ(L"content", Expand(L"[@File([DatedFile]).Content]"));
    EXPECT_EQ(L"", Expand(L"[@File([DatedFile]).Version]")) << "a text file has no version";

    // A file that is not there has time 0: S_FALSE and no text.
    const auto missing = Own<IFileObject>(L"File", IID_IFileObject);
    ASSERT_TRUE(missing);
    com::Bstr name(std::wstring_view(L"C:\\no\\such\\file.txt"));
    EXPECT_EQ(S_OK, missing->Ctor(name.Get(), nullptr));
    BSTR date = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_FALSE, missing->get_Date(nullptr, &date));
    EXPECT_EQ(nullptr, date);
    EXPECT_EQ(E_NOTIMPL, missing->get_Value(&date));
}

TEST_F(SuiteObjects, RegistryReadsShortRootPathsOnly)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, kTestKey, &key));
    const wchar_t path[] = L"C:\\Tools";
    const wchar_t fallback[] = L"default";
    const DWORD number = 42;
    RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path));
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(fallback), sizeof(fallback));
    RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegCloseKey(key);

    EXPECT_EQ(L"C:\\Tools", Expand(L"[@Registry(HKCU\\Software\\TessarelSuiteObjectTest).KeyValue(Path)]"));
    EXPECT_EQ(L"42", Expand(L"[@Registry(hkcu\\Software\\TessarelSuiteObjectTest,false).KeyValue(Count)]"));
    EXPECT_EQ(L"default", Expand(L"[@Registry(HKCU\\Software\\TessarelSuiteObjectTest).Value]"));

    EXPECT_EQ(L"", Expand(L"[@Registry(HKEY_LOCAL_MACHINE\\Software).KeyValue(Path)]"));
    EXPECT_NE(std::wstring::npos,
              trace_.Messages().find(L"RegistyObject ctor: failed to get key root from key path "
                                     L"'HKEY_LOCAL_MACHINE\\Software'"));

    const auto registry = Own<IRegistryObject>(L"Registry", IID_IRegistryObject);
    ASSERT_TRUE(registry);
    com::Bstr longRoot(std::wstring_view(L"HKEY_LOCAL_MACHINE\\Software"));
    EXPECT_EQ(E_INVALIDARG, registry->Ctor(longRoot.Get(), nullptr));
    com::Bstr value;
    EXPECT_EQ(static_cast<HRESULT>(0x800703F2), registry->get_KeyValue(nullptr, value.Put()));
    com::Bstr rootOnly(std::wstring_view(L"HKLM"));
    EXPECT_EQ(S_OK, registry->Ctor(rootOnly.Get(), nullptr));
    EXPECT_EQ(static_cast<HRESULT>(0x800703F2), registry->get_KeyValue(nullptr, value.Put()))
        << "a root without a sub-key";
}

TEST_F(SuiteObjects, ParcelAndFeatureMembersNeedTheirCtor)
{
    CParcel* parcel = engine_->CreateParcel(L"Exe");
    ASSERT_NE(nullptr, parcel);
    parcel->SetAttribute(L"Id", L"Core");
    parcel->SetAttribute(L"DisplayName", L"Core runtime");
    engine_->AddFeature(nullptr, {{L"Name", L"Main"}, {L"Cost", L"5000000000"}, {L"Visible", L"no"}});

    EXPECT_EQ(L"Core runtime", Expand(L"[@Parcel(Core).Name]"));
    VARIANT_BOOL eligible = VARIANT_FALSE;
    ASSERT_EQ(S_OK, parcel->get_Eligible(&eligible));
    EXPECT_EQ(eligible ? L"true" : L"false", Expand(L"[@Parcel(Core).Eligible]"));
    EXPECT_EQ(std::to_wstring(eptExe), Expand(L"[@Parcel(Core).Type]"));
    EXPECT_EQ(L"5000000000", Expand(L"[@Feature(Main).Cost]"));
    EXPECT_EQ(L"false", Expand(L"[@Feature(Main).Visible]"));
    EXPECT_EQ(L"true", Expand(L"[@Feature(Main).AllowSelectionChange]"));
    EXPECT_EQ(L"", Expand(L"[@Parcel(Absent).Name]"));
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"ParcelObject: unknown parcel: Absent"));
    EXPECT_EQ(L"", Expand(L"[@Feature(Absent).Cost]"));
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"FeatureObject: unknown feature: Absent"));

    // Without Ctor every member is not connected; a null output is refused first.
    const auto parcelObject = Own<IParcelObject>(L"Parcel", IID_IParcelObject);
    const auto featureObject = Own<IFeatureObject>(L"Feature", IID_IFeatureObject);
    ASSERT_TRUE(parcelObject && featureObject);
    com::Bstr text;
    constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x800401FD);
    for (auto member : {&IParcelObject::get_Name, &IParcelObject::get_Description, &IParcelObject::get_Eligible,
                        &IParcelObject::get_ActionState, &IParcelObject::get_DetectedState,
                        &IParcelObject::get_ExitCode, &IParcelObject::get_Type})
        EXPECT_EQ(kNotConnected, (parcelObject.Get()->*member)(text.Put()));
    EXPECT_EQ(kNotConnected, featureObject->get_Cost(text.Put()));
    EXPECT_EQ(E_POINTER, parcelObject->get_Name(nullptr));
    EXPECT_EQ(E_INVALIDARG, parcelObject->get_Eligible(nullptr));
    EXPECT_EQ(E_POINTER, featureObject->get_DisplayName(nullptr));
    EXPECT_EQ(E_INVALIDARG, featureObject->get_Cost(nullptr));
    const auto platform = Own<IPlatformObject>(L"Platform", IID_IPlatformObject);
    ASSERT_TRUE(platform);
    EXPECT_EQ(E_POINTER, platform->get_FullVersion(nullptr));

    com::Bstr core(std::wstring_view(L"Core"));
    EXPECT_EQ(S_OK, parcelObject->Ctor(core.Get()));
    EXPECT_EQ(S_OK, parcelObject->get_Type(text.Put()));
    EXPECT_EQ(std::to_wstring(eptExe), std::wstring(text.View()));
}

TEST_F(SuiteObjects, ResourceDllObjectIsMadeAndUnloadedAtEveryEvaluation)
{
    StageResourceDll(L"Res.dll");
    engine_->SetProperty(L"Greeting", L"hello", false);
    for (int round = 0; round < 2; ++round) {
        engine_->SetProperty(L"ResStandInReleased", L"", true);
        EXPECT_EQ(L"Widget:hello", Expand(L"[@Res:Widget.Member]")) << round;
        EXPECT_EQ(nullptr, GetModuleHandleW(L"Res.dll")) << "unloaded after the evaluation";
        // The object was released while its DLL was still loaded.
        EXPECT_STREQ(L"Widget:hello", engine_->GetProperty(L"ResStandInReleased").c_str());
    }
    // Name, reserved argument, the extension's feature list (empty) and a formatted text.
    EXPECT_STREQ(L"Widget|null||hello", engine_->GetProperty(L"ResStandInCalls").c_str());
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"Resource stand-in: GetSuiteObject(Widget)"));

    EXPECT_EQ(L"", Expand(L"[@Res:Widget(x).Echo(a)]")) << "this object has no Ctor";
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"SuiteObject call ('Ctor') failed with error 80020006"));
    EXPECT_EQ(L"a,b c", Expand(L"[@Res:Widget.Echo(a,b c)]"));
    EXPECT_EQ(L"", Expand(L"[@Res:Refused.Member]"));
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"Resource DLL GetSuiteObject (obj 'Refused') returned error 80070490"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"Res.dll")) << "unloaded after a refusal too";
}

TEST_F(SuiteObjects, WithoutAnExtensionObjectTheDllIsNotAskedForItsObject)
{
    StageResourceDll(L"Res.dll");
    com::ComPtr<IDispatch> object;
    HMODULE module = nullptr;
    HRESULT hr = S_OK;
    {
        FailingNothrowAllocations noMemory;
        hr = engine_->CreateSuiteObject(L"Res:Widget", object.Put(), &module);
    }
    EXPECT_EQ(E_OUTOFMEMORY, hr);
    EXPECT_EQ(nullptr, object.Get());
    ASSERT_NE(nullptr, module) << "the loaded DLL goes back to the caller to free";
    FreeLibrary(module);
    EXPECT_STREQ(L"", engine_->GetProperty(L"ResStandInCalls").c_str()) << "GetSuiteObject was not called";
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"SuiteObject: failed to create suite extension, status 0x8007000e"));
}

TEST_F(SuiteObjects, ResourceDllFailuresAreLoggedAndTheModuleIsFreed)
{
    StageResourceDll(L"NoFactory.dll", L"ExtensionStandIn.dll");
    WriteBytes(staging_ / L"Junk.dll", "not a program");

    EXPECT_EQ(L"", Expand(L"[@NoFactory:Obj.Member]"));
    EXPECT_NE(std::wstring::npos,
              trace_.Messages().find(L"Resource DLL 'NoFactory.dll' does not provide a suite object factor, error 8007007f"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"NoFactory.dll"));
    EXPECT_EQ(L"", Expand(L"[@Junk:Obj.Member]"));
    EXPECT_NE(std::wstring::npos, trace_.Messages().find(L"Failed to load resource DLL in SON extension object (Junk:Obj), error: 800700c1"));
}

} // namespace
