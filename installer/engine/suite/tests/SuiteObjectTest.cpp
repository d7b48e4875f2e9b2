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

void SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// A real engine on Windows 6.3 with a parcel, a feature, a dated file, a
// registry key and the resource DLL stand-in staged as Res.dll.
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
        StageResourceDll(L"Res.dll");
        engine_->SetProperty(L"Greeting", L"hello", false);

        CParcel* parcel = engine_->CreateParcel(L"Exe");
        ASSERT_NE(nullptr, parcel);
        parcel->SetAttribute(L"Id", L"Core");
        parcel->SetAttribute(L"DisplayName", L"Core runtime");
        engine_->AddFeature(nullptr, {{L"Name", L"Main"}, {L"Cost", L"5000000000"}, {L"Visible", L"no"}});

        const std::wstring path = staging_ / L"dated.txt";
        WriteBytes(path, "content");
        HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        const FILETIME created = Utc(2001, 2, 3), accessed = Utc(1999, 4, 5), written = Utc(2011, 6, 7);
        EXPECT_TRUE(SetFileTime(file, &created, &accessed, &written));
        CloseHandle(file);
        engine_->SetProperty(L"DatedFile", path.c_str(), false);
        // Wine keeps no creation time on a Unix file system (it reports the last write there),
        // so "create" is checked against what the system reports; "access" tells the kinds apart.
        WIN32_FILE_ATTRIBUTE_DATA reported = {};
        ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &reported));
        SYSTEMTIME creation = {};
        FileTimeToSystemTime(&reported.ftCreationTime, &creation);
        createdYear_ = std::to_wstring(creation.wYear);

        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, kTestKey, &key));
        const DWORD number = 42;
        SetText(key, L"Path", L"C:\\Tools");
        SetText(key, nullptr, L"default");
        RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

    std::wstring Expand(const std::wstring& text) { return engine_->FormatString(text.c_str()).c_str(); }
    bool Logged(const wchar_t* line) { return trace_.Messages().find(line) != std::wstring::npos; }
    // The stand-in resource DLL (or another DLL) in the staging folder under that name.
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
    std::wstring createdYear_;
};

TEST_F(SuiteObjects, ObjectExpressionsExpandThroughTheEngine)
{
    constexpr const wchar_t* kInvalidName = L"Invalid resource name or object name in SON extension object reference: ";
    struct Row {
        std::wstring text;
        std::wstring expected;
        bool contains;           // the expansion holds expected somewhere (times)
        std::wstring line;       // logged while expanding; empty: no line of the resource-DLL way
    };
    const Row rows[] = {
        {L"[@Platform.FullVersion]", L"603", false, L""},
        {L"[@Platform.Value]", L"603", false, L""},
        {L"[@Platform.MajorVersion].[@Platform.MinorVersion] [@Platform.BuildNumber]", L"6.3 9600", false, L""},
        {L"[@Platform.ProductType] [@Platform.CSDVersion]", L"1 Service Pack 9", false, L""},
        // The system's architecture, whatever the process's: the test's Wine prefix is a 64-bit one.
        {L"[@Platform.Architecture]", L"x64", false, L""},
        // Only the exact names are the launcher's own; the rest go the resource-DLL way.
        {L"[@platform.FullVersion]", L"", false, kInvalidName + std::wstring(L"Dll '', Object 'platform'")},
        {L"[@FILE([DatedFile]).Content]", L"", false, kInvalidName + std::wstring(L"Dll '', Object 'FILE'")},
        {L"[@registry.Value]", L"", false, kInvalidName + std::wstring(L"Dll '', Object 'registry'")},
        {L"[@:Obj.Member]", L"", false, L""},
        {L"[@Res:.Member]", L"", false, kInvalidName + std::wstring(L"Dll 'Res', Object ''")},
        {L"[@Other:Obj.Member]", L"", false, L"Unknown resource DLL in SON extension object reference: Other.dll"},
        {L"[@File([DatedFile]).Date(Create)]", createdYear_, true, L""},
        {L"[@File([DatedFile]).Date(CREATE)]", createdYear_, true, L""},
        {L"[@File([DatedFile]).Date(access)]", L"1999", true, L""},
        {L"[@File([DatedFile]).Date(Foo)]", L"2011", true, L""},
        {L"[@File([DatedFile]).Date]", L"2011", true, L""},
        {L"[@File([DatedFile]).Content]", L"content", false, L""},
        {L"[@Registry(HKCU\\Software\\TessarelSuiteObjectTest).KeyValue(Path)]", L"C:\\Tools", false, L""},
        {L"[@Registry(hkcu\\Software\\TessarelSuiteObjectTest,false).KeyValue(Count)]", L"42", false, L""},
        {L"[@Registry(HKCU\\Software\\TessarelSuiteObjectTest).Value]", L"default", false, L""},
        {L"[@Registry(HKEY_LOCAL_MACHINE\\Software).KeyValue(Path)]", L"", false,
         L"RegistyObject ctor: failed to get key root from key path 'HKEY_LOCAL_MACHINE\\Software'"},
        {L"[@Parcel(Core).Name] [@Parcel(Core).Type]", L"Core runtime " + std::to_wstring(eptExe), false, L""},
        {L"[@Parcel.Name]", L"", false, L""},
        {L"[@Parcel(Absent).Name]", L"", false, L"ParcelObject: unknown parcel: Absent"},
        {L"[@Feature(Main).Cost] [@Feature(Main).Visible] [@Feature(Main).AllowSelectionChange]",
         L"5000000000 false true", false, L""},
        {L"[@Feature(Absent).Cost]", L"", false, L"FeatureObject: unknown feature: Absent"},
        {L"[@Res:Widget.Member]", L"Widget:hello", false, L"Resource stand-in: GetSuiteObject(Widget)"},
        {L"[@Res:Widget.Echo(a,b c)]", L"a,b c", false, L""},
    };
    for (const Row& row : rows) {
        const size_t before = trace_.Messages().size();
        const std::wstring value = Expand(row.text);
        if (row.contains)
            EXPECT_NE(std::wstring::npos, value.find(row.expected)) << row.text << " gave " << value;
        else
            EXPECT_EQ(row.expected, value) << row.text;
        const std::wstring added = trace_.Messages().substr(before);
        if (row.line.empty())
            EXPECT_EQ(std::wstring::npos, added.find(L"SON extension object")) << row.text << "\n" << added;
        else
            EXPECT_NE(std::wstring::npos, added.find(row.line)) << row.text << "\n" << added;
        EXPECT_EQ(nullptr, GetModuleHandleW(L"Res.dll")) << row.text << ": unloaded after every evaluation";
    }
}

TEST_F(SuiteObjects, CodesOfTheNamesAndMembers)
{
    com::ComPtr<IDispatch> object;
    HMODULE module = nullptr;
    EXPECT_EQ(E_NOINTERFACE, engine_->CreateSuiteObject(L":Obj", object.Put(), &module));
    EXPECT_EQ(E_NOINTERFACE, engine_->CreateSuiteObject(L"Other:Obj", object.Put(), &module));
    EXPECT_EQ(nullptr, module);

    // A registry key path with a long root name fails its Ctor and leaves no key to read.
    const auto registry = Own<IRegistryObject>(L"Registry", IID_IRegistryObject);
    ASSERT_TRUE(registry);
    com::Bstr text;
    EXPECT_EQ(E_INVALIDARG, registry->Ctor(com::Bstr(std::wstring_view(L"HKEY_LOCAL_MACHINE\\Software")).Get(), nullptr));
    EXPECT_EQ(static_cast<HRESULT>(0x800703F2), registry->get_KeyValue(nullptr, text.Put()));
    EXPECT_EQ(S_OK, registry->Ctor(com::Bstr(std::wstring_view(L"HKLM")).Get(), nullptr));
    EXPECT_EQ(static_cast<HRESULT>(0x800703F2), registry->get_KeyValue(nullptr, text.Put())) << "no sub-key";

    // Without Ctor every parcel and feature member is not connected.
    const auto parcel = Own<IParcelObject>(L"Parcel", IID_IParcelObject);
    const auto feature = Own<IFeatureObject>(L"Feature", IID_IFeatureObject);
    ASSERT_TRUE(parcel && feature);
    constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x800401FD);
    for (auto member : {&IParcelObject::get_Name, &IParcelObject::get_Description, &IParcelObject::get_Eligible,
                        &IParcelObject::get_ActionState, &IParcelObject::get_DetectedState,
                        &IParcelObject::get_ExitCode, &IParcelObject::get_Type})
        EXPECT_EQ(kNotConnected, (parcel.Get()->*member)(text.Put()));
    for (auto member : {&IFeatureObject::get_DisplayName, &IFeatureObject::get_Cost, &IFeatureObject::get_Visible,
                        &IFeatureObject::get_InstalledState})
        EXPECT_EQ(kNotConnected, (feature.Get()->*member)(text.Put()));

    // A missing output: E_POINTER for texts, E_INVALIDARG for the other parcel and feature members.
    EXPECT_EQ(E_POINTER, parcel->get_Name(nullptr));
    EXPECT_EQ(E_INVALIDARG, parcel->get_Eligible(nullptr));
    EXPECT_EQ(E_POINTER, feature->get_DisplayName(nullptr));
    EXPECT_EQ(E_INVALIDARG, feature->get_Cost(nullptr));
    EXPECT_EQ(E_INVALIDARG, feature->get_Visible(nullptr));
    const auto platform = Own<IPlatformObject>(L"Platform", IID_IPlatformObject);
    ASSERT_TRUE(platform);
    EXPECT_EQ(E_POINTER, platform->get_FullVersion(nullptr));

    // A file that is not there has time 0: S_FALSE and no text; a file has no Value to give.
    const auto file = Own<IFileObject>(L"File", IID_IFileObject);
    ASSERT_TRUE(file);
    EXPECT_EQ(S_OK, file->Ctor(com::Bstr(std::wstring_view(L"C:\\no\\such\\file.txt")).Get(), nullptr));
    BSTR date = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(S_FALSE, file->get_Date(nullptr, &date));
    EXPECT_EQ(nullptr, date);
    EXPECT_EQ(E_POINTER, file->get_Version(nullptr));
    EXPECT_EQ(E_NOTIMPL, file->get_Value(text.Put()));
}

TEST_F(SuiteObjects, ResourceDllObjectIsReleasedBeforeItsDllAndSeesTheExtension)
{
    for (int round = 0; round < 2; ++round) {
        engine_->SetProperty(L"ResStandInReleased", L"", true);
        EXPECT_EQ(L"Widget:hello", Expand(L"[@Res:Widget.Member]")) << round;
        EXPECT_EQ(nullptr, GetModuleHandleW(L"Res.dll"));
        // Recorded by the object's own code as it went, so the DLL was still loaded.
        EXPECT_STREQ(L"Widget:hello", engine_->GetProperty(L"ResStandInReleased").c_str()) << round;
    }
    // Name, reserved argument, the extension's feature list (empty) and a text it formatted.
    EXPECT_STREQ(L"Widget|null||hello", engine_->GetProperty(L"ResStandInCalls").c_str());

    EXPECT_EQ(L"", Expand(L"[@Res:Widget(x).Echo(a)]")) << "this object has no Ctor";
    EXPECT_TRUE(Logged(L"SuiteObject call ('Ctor') failed with error 80020006"));
    EXPECT_EQ(L"", Expand(L"[@Res:Refused.Member]"));
    EXPECT_TRUE(Logged(L"Resource DLL GetSuiteObject (obj 'Refused') returned error 80070490"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"Res.dll")) << "unloaded after a refusal too";
}

TEST_F(SuiteObjects, WithoutAnExtensionObjectTheDllIsNotAskedForItsObject)
{
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
    EXPECT_TRUE(Logged(L"SuiteObject: failed to create suite extension, status 0x8007000e"));
}

TEST_F(SuiteObjects, ResourceDllFailuresAreLoggedAndTheModuleIsFreed)
{
    StageResourceDll(L"NoFactory.dll", L"ExtensionStandIn.dll");
    WriteBytes(staging_ / L"Junk.dll", "not a program");

    EXPECT_EQ(L"", Expand(L"[@NoFactory:Obj.Member]"));
    EXPECT_TRUE(Logged(L"Resource DLL 'NoFactory.dll' does not provide a suite object factor, error 8007007f"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"NoFactory.dll"));
    EXPECT_EQ(L"", Expand(L"[@Junk:Obj.Member]"));
    EXPECT_TRUE(Logged(L"Failed to load resource DLL in SON extension object (Junk:Obj), error: 800700c1"));
}

} // namespace
