// Staging through the engine: parcels of a suite read from setup.xml staged
// by the run from the packed setup stream and from source folders, with the
// source prompt and progress answered by a recording sink.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "SuiteRunSupport.h"
#include "staging/StagingPaths.h"

namespace fs = std::filesystem;
using namespace engine_testing;

namespace {

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr DISPID kOnPromptForSourceMedia = 9;

std::wstring Md5(const fs::path& path)
{
    return GetFileMD5Text(path.wstring().c_str()).c_str();
}

// The stand-in as s1.exe in a source folder.
fs::path MakeMedia(const std::wstring& folder)
{
    fs::create_directories(folder);
    const fs::path copy = fs::path(folder) / L"s1.exe";
    fs::copy_file(fs::path(OwnFolder()) / L"parcel_package_standin.exe", copy, fs::copy_options::overwrite_existing);
    return copy;
}

ParcelSpec SourceParcel(const std::wstring& location, const std::wstring& packageAttributes = L"")
{
    ParcelSpec parcel{L"S1", L"s1.exe"};
    parcel.package = L"<Package " + packageAttributes + L"><Folder Source=\"" + location +
                     L"\"><File Name=\"s1.exe\" MD5=\"" + StandInMd5() + L"\"/></Folder></Package>";
    return parcel;
}

TEST(EngineStaging, StreamFilesAreCheckedBeforeTheyAreExtractedAgain)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1", L"p1.exe"}}, {ParcelSpec{L"P2", L"p2.exe"}}}),
                                   L"/stage_only"));
    const fs::path root = fs::path(run.Root()) / L"layout";
    fs::create_directories(root);
    // p1.exe is there already with its digest, p2.exe with other bytes.
    fs::copy_file(fs::path(OwnFolder()) / L"parcel_package_standin.exe", root / L"p1.exe");
    const auto before = fs::last_write_time(root / L"p1.exe") - std::chrono::hours(1);
    fs::last_write_time(root / L"p1.exe", before);
    { std::ofstream(root / L"p2.exe") << "old"; }
    run.engine->SetProperty(L"KRRootStagePath", root.wstring().c_str(), true);

    EXPECT_EQ(S_OK, run.Run());
    EXPECT_EQ(before, fs::last_write_time(root / L"p1.exe"));
    EXPECT_EQ(StandInMd5(), Md5(root / L"p2.exe"));
    EXPECT_TRUE(run.sink->Errors().empty());
}

TEST(EngineStaging, SourceFolderIsUsedInPlaceForAnInstall)
{
    SuiteRun run;
    const std::wstring media = run.Root() + L"\\media";
    MakeMedia(media);
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{SourceParcel(media)}})));
    EXPECT_EQ(S_OK, run.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"S1 Install"}), run.Started());
    // Started from the media folder itself: nothing was copied.
    EXPECT_EQ(L"cwd=" + media, run.Calls()[1]);
    EXPECT_FALSE(fs::exists(fs::path(run.engine->StagingFolder().c_str()) / L"s1.exe"));
}

TEST(EngineStaging, SourceFolderIsCopiedWhenForcedOrStagedOnly)
{
    {
        SuiteRun run;
        const std::wstring media = run.Root() + L"\\media";
        MakeMedia(media);
        const std::wstring named = run.Root() + L"\\named";
        ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{SourceParcel(media, L"Name=\"" + named + L"\"")}})));
        EXPECT_EQ(S_OK, run.Run());
        EXPECT_EQ(L"cwd=" + named, run.Calls()[1]);
        EXPECT_EQ(StandInMd5(), Md5(fs::path(named) / L"s1.exe"));
    }
    SuiteRun run;
    const std::wstring media = run.Root() + L"\\media";
    MakeMedia(media);
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{SourceParcel(media)}}), L"/stage_only"));
    const fs::path root = fs::path(run.Root()) / L"layout";
    run.engine->SetProperty(L"KRRootStagePath", root.wstring().c_str(), true);
    EXPECT_EQ(S_OK, run.Run());
    EXPECT_EQ(StandInMd5(), Md5(root / L"s1.exe"));
}

TEST(EngineStaging, MissingSourceAsksTheUserInterfaceOnce)
{
    SuiteRun run;
    const std::wstring media = run.Root() + L"\\media";
    const fs::path answer = MakeMedia(run.Root() + L"\\answer");
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{SourceParcel(media)}})));
    run.sink->AnswerSourcePrompt(answer.wstring());
    EXPECT_EQ(S_OK, run.Run());
    ASSERT_EQ(1u, run.sink->Count(kOnPromptForSourceMedia));
    EXPECT_EQ(L"S1", run.sink->ParcelsOf(kOnPromptForSourceMedia)[0]);
    EXPECT_EQ(L"cwd=" + answer.parent_path().wstring(), run.Calls()[1]);
}

TEST(EngineStaging, EmptySourceAnswerIsAMissingPath)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{SourceParcel(run.Root() + L"\\media")}}), L"/stage_only"));
    run.engine->SetProperty(L"KRRootStagePath", (run.Root() + L"\\layout").c_str(), true);
    EXPECT_EQ(kPathNotFound, run.Run());
    EXPECT_EQ(1u, run.sink->Count(kOnPromptForSourceMedia));
    ASSERT_EQ(1u, run.sink->Errors().size());
    EXPECT_EQ(kPathNotFound, run.sink->Errors()[0].error);
}

TEST(EngineStaging, CancelAtProgressLeavesNoPartialFile)
{
    SuiteRun run;
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{ParcelSpec{L"P1", L"p1.exe"}}})));
    run.sink->CancelStagingProgressAt(1);
    EXPECT_EQ(kCancelled, run.Run());
    EXPECT_FALSE(fs::exists(fs::path(run.engine->StagingFolder().c_str()) / L"p1.exe"));
    EXPECT_TRUE(run.Started().empty());
}

TEST(EngineStaging, ParcelWithoutPackageStagesNothing)
{
    SuiteRun run;
    ParcelSpec bare{L"P1", L"p1.exe"};
    bare.package = L" ";
    ASSERT_EQ(S_OK, run.Initialize(run.SuiteXml({{bare}})));
    CParcel* parcel = run.engine->FindParcel(L"P1");
    ASSERT_NE(nullptr, parcel);
    EXPECT_EQ(S_FALSE, parcel->Stage(L""));
    EXPECT_EQ(L"", std::wstring(parcel->GetPackagePath().c_str()));
}

} // namespace
