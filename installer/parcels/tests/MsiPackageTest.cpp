// Real Windows Installer packages, built with wixl at build time, installed
// by the handler through Wine's msi.dll: product 1.2.3 with the features
// Main and Extra, and 1.3.0 of the same product code.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MsiRecording.h"
#include "ParcelTestSupport.h"
#include "TestMsiProduct.h"
#include "conditions/InstalledProductConditions.h"
#include "kr/bootstrap_exception.h"
#include "parcels/MsiParcelHandler.h"
#include "parcels/ParcelFactory.h"

using namespace parcel_testing;
using testing_support::TraceCapture;

namespace {

std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"parcels_msi_logs_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

class MsiPackage : public testing::Test {
protected:
    void SetUp() override
    {
        RegisterInstalledProductConditions();
        initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        RemoveTestMsiProduct();
        ASSERT_EQ(InstalledTestMsiVersion(), L"");
    }
    void TearDown() override
    {
        for (auto& [parcel, sink] : parcels) {
            parcel.Reset();
            sink->Release();
        }
        RemoveTestMsiProduct();
        if (initialized)
            CoUninitialize();
    }

    CParcel& AddParcel(const wchar_t* target, const wchar_t* version, const wchar_t* commandLine = L"")
    {
        CParcel* made = nullptr;
        EXPECT_EQ(MakeParcelForElement(L"Msi", &made), S_OK);
        auto parcel = com::ComPtr<CParcel>::Adopt(made);
        parcel->SetAttribute(L"Id", L"Package");
        parcel->SetAttribute(L"ProductCode", kTestMsiProduct);
        parcel->SetAttribute(L"ProductVersion", version);
        parcel->SetAttribute(L"ProgressCapture", L"Hide");
        parcel->LoadStateValue(CStateEntry(L"PackagePath", TestMsiFolder().c_str()));
        parcel->AddOperation(MakeOperation(L"Install", {{L"Target", target}, {L"CommandLine", commandLine}}));
        DispatchSink* sink = new DispatchSink(IID__IParcelEvents);
        AdviseParcelEvents(*parcel.Get(), sink);
        parcels.emplace_back(parcel, sink);
        return *parcel.Get();
    }

    static CMsiParcelHandler& Handler(CParcel& parcel) { return *dynamic_cast<CMsiParcelHandler*>(parcel.Handler()); }

    HRESULT Run(CParcel& parcel)
    {
        CMsiParcelHandler& handler = Handler(parcel);
        handler.SetOperation(parcel.Operations().front().get());
        return handler.Run();
    }

    bool FeatureInstalled(CParcel& parcel, const wchar_t* feature)
    {
        int state = -1;
        EXPECT_EQ(Handler(parcel).GetFeatureState(feature, &state), S_OK);
        return state != 0;
    }

    bool initialized = false;
    FakeEngineServices engine;
    TraceCapture trace;
    std::vector<std::pair<com::ComPtr<CParcel>, DispatchSink*>> parcels;
};

TEST_F(MsiPackage, InstallsTheChosenFeaturesWithProgressAndALog)
{
    const std::wstring logs = TempFolder();
    engine.logFolder = logs.c_str();
    CParcel& parcel = AddParcel(L"ParcelOld.msi", L"1.2.3", L"ADDLOCAL=Main");
    parcel.EnableLogging();
    EXPECT_EQ(Run(parcel), S_OK);
    EXPECT_EQ(InstalledTestMsiVersion(), L"1.2.3");
    EXPECT_TRUE(FeatureInstalled(parcel, L"Main"));
    EXPECT_FALSE(FeatureInstalled(parcel, L"Extra"));

    // "*v" wrote the log into the log folder, under the parcel's id.
    const std::wstring log = logs + L"\\Package.log";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    EXPECT_TRUE(GetFileAttributesExW(log.c_str(), GetFileExInfoStandard, &data));
    EXPECT_GT(data.nFileSizeLow, 0u);
    DeleteFileW(log.c_str());
    RemoveDirectoryW(logs.c_str());

    // Hidden: the sinks get a reset to a total, then growing positions.
    std::vector<std::pair<int, int>> positions;
    for (const SinkCall& call : parcels.front().second->calls)
        if (call.id == 2 && call.arguments.at(3) == L"I4:1")
            positions.emplace_back(std::stoi(call.arguments[1].substr(3)), std::stoi(call.arguments[2].substr(3)));
    ASSERT_GE(positions.size(), 2u);
    EXPECT_EQ(positions.front().first, 0);
    EXPECT_GT(positions.front().second, 0);
    int highest = 0;
    for (const auto& [position, total] : positions)
        highest = std::max(highest, position);
    EXPECT_GT(highest, 0);

    // Detection sees the product installed now.
    EnumParcelInstallState state = episAbsent;
    EXPECT_EQ(parcel.get_DetectedState(&state), S_OK);
    EXPECT_EQ(state, episInstalled);
}

TEST_F(MsiPackage, AMissingPackageRunsNothing)
{
    CParcel& parcel = AddParcel(L"Absent.msi", L"1.2.3");
    EXPECT_EQ(Run(parcel), static_cast<HRESULT>(0x80070002));
    EXPECT_EQ(InstalledTestMsiVersion(), L"");
}

TEST_F(MsiPackage, RepairReconfiguresTheInstalledProduct)
{
    CParcel& installed = AddParcel(L"ParcelOld.msi", L"1.2.3");
    ASSERT_EQ(Run(installed), S_OK);

    engine.mode = eimRepair;
    CParcel& parcel = AddParcel(L"ParcelOld.msi", L"1.2.3");
    msi_testing::Reset();
    msi_testing::Script().realRuns = true;
    Handler(parcel).SetMsiFunctions(msi_testing::RecordingTable());
    EXPECT_EQ(Run(parcel), S_OK);
    ASSERT_GE(msi_testing::Script().calls.size(), 3u);
    EXPECT_EQ(msi_testing::Script().calls[2].rfind(std::wstring(L"configure ") + kTestMsiProduct + L"|0|5|", 0), 0u)
        << msi_testing::Script().calls[2];
    EXPECT_EQ(InstalledTestMsiVersion(), L"1.2.3");
}

TEST_F(MsiPackage, ANewerVersionInstallsOnlyInPlace)
{
    ASSERT_EQ(Run(AddParcel(L"ParcelOld.msi", L"1.2.3")), S_OK);

    // Unmarked: another version is installed, and the run says so by its exception.
    CParcel& plain = AddParcel(L"ParcelNew.msi", L"1.3.0");
    HRESULT thrown = S_OK;
    try {
        Run(plain);
    } catch (const parcel_install_failure_exception& failure) {
        thrown = failure.hresult();
    }
    EXPECT_EQ(thrown, static_cast<HRESULT>(0x80070666));
    EXPECT_EQ(InstalledTestMsiVersion(), L"1.2.3");

    // An automatic upgrade is found by detection and marks the parcel.
    CParcel& upgrade = AddParcel(L"ParcelNew.msi", L"1.3.0");
    upgrade.SetAttribute(L"UpgradeType", L"Auto");
    // Another package than the installed one: wixl gives each build its own code.
    upgrade.SetAttribute(L"PackageCode", L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A23FF}");
    EnumParcelInstallState state = episInstalled;
    EXPECT_EQ(upgrade.get_DetectedState(&state), S_OK);
    EXPECT_EQ(state, episAbsent);
    EXPECT_TRUE(Handler(upgrade).IsInPlaceUpgrade());
    EXPECT_EQ(Run(upgrade), S_OK);
    EXPECT_EQ(InstalledTestMsiVersion(), L"1.3.0");
}

} // namespace
