#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "kr/bootstrap_exception.h"
#include "kr/com_exception.h"
#include "setupxml/SetupXmlReader.h"
#include "suite/EnginePaths.h"

using engine_testing::EventSink;
using engine_testing::NewEngine;

namespace {

std::wstring Property(CSetupEngine& engine, const wchar_t* name)
{
    return engine.GetProperty(name).c_str();
}

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path);
    return text.substr(0, text.rfind(L'\\'));
}

TEST(SetupEngineTest, ConstructionSetsThePredefinedPropertiesAndRegisters)
{
    const auto engine = NewEngine();
    EXPECT_EQ(ModuleFolder(), Property(*engine.Get(), L"SETUPEXEDIR"));
    EXPECT_NE(L'\\', Property(*engine.Get(), L"SETUPEXEDIR").back());
    EXPECT_EQ(L"engine_suite_test.exe", Property(*engine.Get(), L"SETUPEXENAME"));
    // Every process is elevated under Wine; RestrictedChildTest starts one that is not.
    EXPECT_TRUE(engine->IsElevated());
    EXPECT_EQ(L"", Property(*engine.Get(), L"KRElevationRequired"));
    EXPECT_EQ(L"0", Property(*engine.Get(), L"KRSuiteParcelAbsentState"));
    EXPECT_EQ(L"1", Property(*engine.Get(), L"KRSuiteParcelInstalledState"));
    EXPECT_EQ(static_cast<ISetupEngine*>(engine.Get()), SetupEngine());
    EXPECT_EQ(static_cast<IEngineServices*>(engine.Get()), EngineServices());
    EXPECT_EQ(std::wstring(L"engine_suite_test.exe"), GetEngineProperty(L"SETUPEXENAME").c_str());

    engine->SetProperty(L"SETUPEXENAME", L"other.exe", false);
    EXPECT_EQ(L"engine_suite_test.exe", Property(*engine.Get(), L"SETUPEXENAME")) << "locked";
    EXPECT_EQ(25u, CSetupEngine::CommandLineReservedNames().size());
}

TEST(SetupEngineTest, SpecialNamesOfSetProperty)
{
    testing_support::TraceCapture trace;
    const auto engine = NewEngine();

    engine->SetProperty(L"KRPasswordValid", L"true", true);
    EXPECT_EQ(L"", Property(*engine.Get(), L"KRPasswordValid"));
    EXPECT_FALSE(engine->PasswordValid());

    engine->SetProperty(L"KRHiddenProperties", L"Pin;Token", false);
    engine->SetProperty(L"krhiddenproperties", L"Other", false);
    EXPECT_EQ(2u, engine->GetHiddenPropertyNames().size());
    EXPECT_EQ(L"", Property(*engine.Get(), L"KRHiddenProperties"));
    engine->SetProperty(L"PIN", L"4711", false);
    engine->SetProperty(L"Other", L"visible", false);
    EXPECT_EQ(L"4711", Property(*engine.Get(), L"PIN"));
    const std::wstring log = trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"Engine: property 'PIN' value now '********'")) << log;
    EXPECT_EQ(std::wstring::npos, log.find(L"4711")) << log;
    EXPECT_NE(std::wstring::npos, log.find(L"Engine: property 'Other' value now 'visible'")) << log;

    engine->SetProperty(L"UninstallOrder", L"reverseofpackageorder", false);
    EXPECT_TRUE(engine->ReverseUninstallOrder());
    EXPECT_EQ(L"", Property(*engine.Get(), L"UninstallOrder"));
    engine->SetProperty(L"UninstallOrder", L"PackageOrder", false);
    EXPECT_FALSE(engine->ReverseUninstallOrder());

    engine->SetProperty(L"UpdateUrl", L"https://example.invalid/suite/setup.exe", false);
    engine->SetProperty(L"UpdateUrl", L"ftp://example.invalid/setup.exe", false);
    EXPECT_EQ(std::wstring(L"https://example.invalid/suite/setup.exe"), engine->UpdateUrl().c_str());
    EXPECT_EQ(L"", Property(*engine.Get(), L"UpdateUrl"));

    engine->SetProperty(L"ORIGINALSETUPEXEDIR", L"C:\\media", false);
    engine->SetProperty(L"ORIGINALSETUPEXEDIR", L"C:\\other", false);
    EXPECT_EQ(L"C:\\media", Property(*engine.Get(), L"ORIGINALSETUPEXEDIR"));
    engine->SetProperty(L"ORIGINALSETUPEXEDIR", L"C:\\forced", true);
    EXPECT_EQ(L"C:\\media", Property(*engine.Get(), L"ORIGINALSETUPEXEDIR")) << "only plain names take overwrite";
}

TEST(SetupEngineTest, LockedPlainPropertiesChangeOnlyWithOverwrite)
{
    const auto engine = NewEngine();
    engine->Properties().SetAttributeLocked(L"Fixed", L"1");
    engine->SetProperty(L"Fixed", L"2", false);
    EXPECT_EQ(L"1", Property(*engine.Get(), L"Fixed"));
    engine->SetProperty(L"Fixed", L"3", true);
    EXPECT_EQ(L"3", Property(*engine.Get(), L"Fixed"));
    EXPECT_FALSE(engine->Properties().OverwriteLocked()) << "the mode flag is restored";
}

struct PasswordRow {
    const wchar_t* stored;
    const wchar_t* entered;
    bool valid;
};

TEST(SetupEngineTest, PasswordIsCheckedAndNeverStored)
{
    const PasswordRow rows[] = {
        {L"", L"anything", true},
        {L"1953318005", L"123456789", true},
        {L"1953318005", L"12345678", false},
    };
    for (const PasswordRow& row : rows) {
        const auto engine = NewEngine();
        engine->Properties().SetAttribute(L"Password", row.stored);
        engine->SetProperty(L"KRPassword", row.entered, false);
        EXPECT_EQ(row.valid, engine->PasswordValid()) << row.entered;
        EXPECT_EQ(row.valid ? L"true" : L"", Property(*engine.Get(), L"KRPasswordValid")) << row.entered;
        EXPECT_EQ(L"", Property(*engine.Get(), L"KRPassword"));
    }
    // A later wrong password replaces an earlier right one.
    const auto engine = NewEngine();
    engine->Properties().SetAttribute(L"Password", L"1953318005");
    engine->SetProperty(L"KRPassword", L"123456789", false);
    engine->SetProperty(L"KRPassword", L"nope", false);
    EXPECT_FALSE(engine->PasswordValid());
}

TEST(SetupEngineTest, SuiteIdTakesTheInstanceMutex)
{
    const wchar_t* id = L"{5E1F0C2A-7A43-4B6B-9E57-3E1C2C7D9A01}";
    HANDLE other = CreateMutexW(nullptr, TRUE, id);
    ASSERT_NE(nullptr, other);
    {
        const auto engine = NewEngine();
        try {
            engine->SetProperty(L"SuiteId", id, false);
            ADD_FAILURE() << "no exception";
        } catch (const bootstrap_exception& failure) {
            EXPECT_EQ(static_cast<HRESULT>(0x80040711), failure.hresult());
        }
        EXPECT_EQ(id, Property(*engine.Get(), L"SuiteId"));
        EXPECT_TRUE(engine->HoldsInstanceMutex());
    }
    ReleaseMutex(other);
    CloseHandle(other);
    const auto engine = NewEngine();
    engine->SetProperty(L"SuiteId", id, false);
    EXPECT_TRUE(engine->HoldsInstanceMutex());
}

// Each row on a fresh engine: whether the line is taken, and the property sets it logs, in order.
TEST(SetupEngineTest, CommandLinePropertiesSkipReservedNames)
{
    struct Row {
        const wchar_t* line;
        bool valid;
        std::vector<std::wstring> sets;
    };
    const Row rows[] = {
        {L"/nosplash x=1", true, {L"'nosplash' value now ''", L"'x' value now '1'"}},
        {L"Target=\"C:\\a b\" /Flag:on", true, {L"'Target' value now 'C:\\a b'", L"'Flag' value now 'on'"}},
        {L"suiteid=x SUITEID=y SuiteId=z", true, {}},
        {L"PROGRAMFILESFOLDER=y /krselectedlanguage:1031 ProductVersion=9", true, {}},
        {L"a\"b", false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        testing_support::TraceCapture trace;
        const auto engine = NewEngine();
        EXPECT_EQ(row.valid, engine->ValidateCommandLine(row.line));
        std::vector<std::wstring> sets;
        const std::wstring log = trace.Messages();
        for (size_t at = log.find(L"Engine: property "); at != std::wstring::npos;
             at = log.find(L"Engine: property ", at + 1))
            sets.push_back(log.substr(at + 17, log.find_first_of(L"\r\n", at) - at - 17));
        EXPECT_EQ(row.sets, sets);
        EXPECT_EQ(!row.valid, log.find(L"Engine: invalid command line") != std::wstring::npos);
        EXPECT_FALSE(engine->HoldsInstanceMutex());
        EXPECT_EQ(L"", Property(*engine.Get(), L"SuiteId"));
    }
}

TEST(SetupEngineTest, LoggedCommandLineMasksSecrets)
{
    const auto engine = NewEngine();
    engine->SetProperty(L"KRHiddenProperties", L"Pin;DbPass", false);
    struct Row {
        const wchar_t* line;
        const wchar_t* logged;
    };
    const Row rows[] = {
        {L"/password:Secret /silent", L"/password:********** /silent"},
        {L"-PASSWORD:Secret", L"-PASSWORD:**********"},
        {L"KRPassword=Secret x=1", L"KRPassword=********** x=1"},
        {L"/password:\"Sec ret\"", L"/password:**********"},
        // However the value was written, nothing of it is left.
        {L"/DbPass:\"a b\" x=1", L"/DbPass:********** x=1"},
        {L"-dbpass:\"x\\\"y\"", L"-dbpass:**********"},
        {L"DbPass=abc", L"DbPass=**********"},
        {L"DBPASS=\"p w\" /silent", L"DBPASS=********** /silent"},
        {L"/DbPass=abc", L"/DbPass=**********"},
        {L"pin=1234 other=1234", L"pin=********** other=1234"},
        {L"DbPass=abc DbPass=\"\"", L"DbPass=********** DbPass=**********"},
        {L"/silent", L"/silent"},
        {L"a\"b", L"**invalid command line**"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(std::wstring(row.logged), engine->LogCommandLine(row.line).c_str()) << row.line;
}

TEST(SetupEngineTest, FormatAndResolve)
{
    const auto engine = NewEngine();
    engine->SetProperty(L"Name", L"Kelto", false);
    EXPECT_EQ(std::wstring(L"Setup of Kelto"), engine->FormatString(L"Setup of [Name][Missing]").c_str());
    EXPECT_EQ(std::wstring(L"IDS_UNKNOWN"), engine->ResolveStringId(L"IDS_UNKNOWN").c_str());
    engine->RequestDelayedReboot();
    EXPECT_EQ(L"true", Property(*engine.Get(), L"KRDelayReboot"));
}

TEST(SetupEngineTest, StagingProgressReportsTheCancel)
{
    const auto engine = NewEngine();
    EventSink sink(*engine.Get());
    EXPECT_EQ(S_OK, engine->ReportStagingProgress(L"a.msi", 1, 2));
    *engine->CancelCell() = VARIANT_TRUE;
    EXPECT_EQ(static_cast<HRESULT>(0x80070642), engine->ReportStagingProgress(L"a.msi", 2, 2));
    EXPECT_EQ(2u, sink.Events().size());
}

TEST(SetupEngineTest, AutomationPutSkipsItsReservedNames)
{
    const auto engine = NewEngine();
    IBootstrap2* face = engine.Get();
    BSTR name = SysAllocString(L"suiteid");
    BSTR value = SysAllocString(L"{x}");
    EXPECT_EQ(S_OK, face->put_Property(name, value));
    SysFreeString(name);
    name = SysAllocString(L"Plain");
    EXPECT_EQ(S_OK, face->put_Property(name, value));
    BSTR read = nullptr;
    EXPECT_EQ(S_OK, face->get_Property(name, &read));
    EXPECT_STREQ(L"{x}", read);
    SysFreeString(read);
    SysFreeString(name);
    SysFreeString(value);
    EXPECT_EQ(L"", Property(*engine.Get(), L"SuiteId"));
}

TEST(SetupEngineTest, SetupLevelSettersRunPlainByNameThenFormattedAfterTheirReferences)
{
    const auto engine = NewEngine();
    struct Row {
        const wchar_t* name;
        const wchar_t* value;
        bool formatted;
    };
    const Row rows[] = {
        {L"X", L"[Y]-x", true}, {L"Y", L"[a]y", true}, {L"b", L"2", false}, {L"a", L"1", false},
        {L"c", L"[b]", false},
    };
    for (const Row& row : rows) {
        auto setter = std::make_unique<CPropertySetter>();
        setter->SetAttribute(L"Name", row.name);
        setter->SetAttribute(L"Value", row.value);
        if (row.formatted)
            setter->SetAttribute(L"FormatPropertyValue", L"yes");
        engine->Model().propertySetters.push_back(std::move(setter));
    }
    EXPECT_EQ(S_OK, engine->ApplyPropertySetters());
    EXPECT_EQ(L"1y-x", Property(*engine.Get(), L"X"));
    EXPECT_EQ(L"1y", Property(*engine.Get(), L"Y"));
    EXPECT_EQ(L"[b]", Property(*engine.Get(), L"c")) << "plain values are not expanded";
    EXPECT_TRUE(engine->Model().propertySetters.empty());

    engine->Model().propertySetters.push_back(nullptr);
    EXPECT_THROW(engine->ApplyPropertySetters(), com_exception);
}

TEST(EnginePathsTest, UrlParts)
{
    struct Row {
        const wchar_t* url;
        const wchar_t* folder;
        const wchar_t* file;
    };
    const Row rows[] = {
        {L"http://host/a/b/setup.exe", L"http://host/a/b", L"setup.exe"},
        {L"HTTPS://host/x.xml", L"HTTPS://host", L"x.xml"},
        {L"https://host/dir/", L"https://host/dir", L""},
        {L"ftp://host/x.xml", L"", L""},
        {L"C:\\x.xml", L"", L""},
    };
    for (const Row& row : rows) {
        _stringx folder = L"old";
        _stringx file = L"old";
        SplitUrl(row.url, folder, file);
        EXPECT_EQ(std::wstring(row.folder), folder.c_str()) << row.url;
        EXPECT_EQ(std::wstring(row.file), file.c_str()) << row.url;
        EXPECT_EQ(std::wstring(row.file), GetUrlFileName(row.url).c_str()) << row.url;
    }
    EXPECT_EQ(L"", std::wstring(GetSpecialFolderPath(-5).c_str()));
}

} // namespace

namespace {

TEST(SuiteModelBuildingTest, ListsAndStateOfTheModel)
{
    const auto engine = NewEngine();
    ISuiteModelBuilder& model = *engine.Get();
    EXPECT_EQ(nullptr, model.CreateParcel(L"NoSuchParcel"));
    CParcel* parcel = model.CreateParcel(L"Exe");
    ASSERT_NE(nullptr, parcel);
    AddParcelToTransaction(model, *parcel);
    ASSERT_EQ(1u, model.Transactions().size());
    EXPECT_EQ(1u, model.Transactions()[0]->Parcels().size());
    EXPECT_EQ(1u, engine->Model().parcels.size());
    NewAbortCondition(model);
    EXPECT_EQ(1u, engine->Model().abortConditions.size());
    EXPECT_EQ(engine->Resources().back().get(), model.AddResource({{L"Stream", L"ui.dll"}}));

    try {
        model.InitializeState();
        ADD_FAILURE() << "no suite id";
    } catch (const bootstrap_exception& failure) {
        EXPECT_EQ(static_cast<HRESULT>(0x80040701), failure.hresult());
    }
    engine->SetProperty(L"SuiteId", L"{6A0D4C1E-2B3F-4D5A-8E9F-0A1B2C3D4E5F}", false);
    model.InitializeState();
    EXPECT_EQ(ERROR_SUCCESS, engine->SavedState().RemoveStateInfo());
}

// The selection tree and the parcels read from setup.xml reach the engine's
// automation collections and the features' host.
TEST(SuiteModelBuildingTest, FeaturesAndParcelsReachTheCollections)
{
    const auto engine = NewEngine();
    const engine_testing::TempFile xml(
        L"\xFEFF<Setup xmlns=\"korvanstilmer/2018/bootstrap\" SuiteId=\"{6A0D4C1E-2B3F-4D5A-8E9F-0A1B2C3D4E5F}\">"
        L"<Parcels><Exe Id=\"RuntimeA\"/><Exe Id=\"ToolB\"/></Parcels>"
        L"<SelectionTree><Selection Name=\"Main\" Install=\"RuntimeA\">"
        L"<Selection Name=\"Extras\" Install=\"ToolB\"/>"
        L"<Feature.Visible><When><All/></When></Feature.Visible>"
        L"</Selection><Selection Name=\"Docs\"/></SelectionTree></Setup>");
    CSetupXmlReader reader;
    ASSERT_EQ(S_OK, reader.Load(_stringx(xml.Path().c_str()), *engine.Get()));

    EXPECT_EQ(static_cast<IFeatureHost*>(engine.Get()), FeatureHost());
    EXPECT_EQ(engine->Model().parcels[1].Get(), engine->FindParcel(L"toolb"));
    EXPECT_EQ(nullptr, engine->FindParcel(L"Missing"));
    EXPECT_TRUE(engine->IsTopLevelFeature(L"Docs"));
    EXPECT_FALSE(engine->IsTopLevelFeature(L"docs")) << "names compare exactly";
    EXPECT_FALSE(engine->IsTopLevelFeature(L"Extras"));
    ASSERT_EQ(3u, engine->Model().features.size());

    com::ComPtr<IParcels> parcels;
    ASSERT_EQ(S_OK, engine->get_Parcels(parcels.Put()));
    long count = 0;
    EXPECT_EQ(S_OK, parcels->get_Count(&count));
    EXPECT_EQ(2, count);
    com::ComPtr<IParcels> again;
    ASSERT_EQ(S_OK, engine->get_Parcels(again.Put()));
    EXPECT_EQ(parcels.Get(), again.Get()) << "made once and kept";

    com::ComPtr<IFeatures> features;
    ASSERT_EQ(S_OK, engine->get_Features(features.Put()));
    EXPECT_EQ(S_OK, features->get_Count(&count));
    EXPECT_EQ(2, count) << "top-level features only";
    VARIANT key;
    VariantInit(&key);
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocString(L"MAIN");
    com::ComPtr<IFeature> main;
    EXPECT_EQ(S_OK, features->get_Item(key, main.Put()));
    VariantClear(&key);
    ASSERT_TRUE(main);
    com::ComPtr<IFeatures> children;
    ASSERT_EQ(S_OK, main->get_Features(children.Put()));
    EXPECT_EQ(S_OK, children->get_Count(&count));
    EXPECT_EQ(1, count);
    EXPECT_EQ(E_POINTER, engine->get_Features(nullptr));
    engine->SavedState().RemoveStateInfo();
}

// Shared-parcel client lists: read from the parcel's key, split at spaces;
// this suite's id is added and removed without regard to case.
TEST(SuiteModelBuildingTest, ParcelClientLists)
{
    const auto engine = NewEngine();
    engine->SetProperty(L"SuiteId", L"{6A0D4C1E-2B3F-4D5A-8E9F-0A1B2C3D4E5F}", false);
    const wchar_t* key = L"Software\\Korvanstilmer\\SuiteInstallers\\Parcels\\EngineTestParcel";
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &opened,
                                             nullptr));
    const std::wstring list = L" {00000000-0000-0000-0000-000000000000}  {6a0d4c1e-2b3f-4d5a-8e9f-0a1b2c3d4e5f} ";
    RegSetValueExW(opened, L"Clients", 0, REG_SZ, reinterpret_cast<const BYTE*>(list.c_str()),
                   static_cast<DWORD>((list.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);

    kr::stringx_vector clients;
    engine->GetParcelClients(L"EngineTestParcel", clients);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    ASSERT_EQ(2u, clients.size());
    EXPECT_EQ(L"{00000000-0000-0000-0000-000000000000}", std::wstring(clients[0].c_str()));
    EXPECT_TRUE(engine->AddSuiteToClients(clients)) << "already there, in another case";
    EXPECT_EQ(2u, clients.size());
    EXPECT_FALSE(engine->RemoveSuiteFromClients(clients));
    EXPECT_EQ(1u, clients.size());
    EXPECT_TRUE(engine->RemoveSuiteFromClients(clients)) << "no longer there";

    engine->GetParcelClients(L"EngineTestParcel", clients);
    EXPECT_TRUE(clients.empty()) << "a missing key gives an empty list";
}

} // namespace
