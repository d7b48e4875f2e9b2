#include "resources/Resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "kr/file_system.h"
#include "payload/Stream.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::TraceCapture;

constexpr HRESULT kStreamExtractFailed = static_cast<HRESULT>(0x80040707);

_stringx ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return _stringx(path).path_folder();
}

_stringx NewTempFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    _stringx folder = _stringx(temp).path_combine(name);
    folder += _stringx(static_cast<long>(GetCurrentProcessId()));
    kr::delete_tree(folder, false);
    kr::create_directory_tree(folder);
    return folder;
}

std::string ReadAll(const _stringx& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteAll(const _stringx& path, const std::string& text)
{
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file << text;
}

// The engine's side: the staging folder and the packed payload.
struct PayloadHost : IResourceHost {
    PayloadHost() : stream((ProgramFolder() + L"\\resource-fixtures\\payload.exe").c_str()) {}
    ~PayloadHost() { kr::delete_tree(staging, false); }

    _stringx GetStagingFolder() override { return staging; }
    int ExtractStreamFile(const _stringx& name, const _stringx& target, IStreamProgress* progress) override
    {
        ++extractions;
        return stream.ExtractStreamFile(name, target, progress);
    }

    STREAM stream;
    _stringx staging = NewTempFolder(L"resources");
    int extractions = 0;
};

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host.stream.is_open()); }

    std::unique_ptr<CResource> Make(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes,
                                    bool userInterface = false)
    {
        auto resource = std::make_unique<CResource>(host, userInterface);
        for (const auto& [name, value] : attributes)
            resource->SetAttribute(name, value);
        return resource;
    }

    PayloadHost host;
};

TEST_F(ResourceTest, StreamIsStagedOnceAndNeverFetchedAgain)
{
    auto resource = Make({{L"stream", L"notes.txt"}});
    _stringx staged;
    ASSERT_EQ(resource->Stage(staged, nullptr), S_OK);
    EXPECT_EQ(staged, host.staging.path_combine(L"notes.txt"));
    EXPECT_EQ(ReadAll(staged), "Release notes of the suite.\r\n");

    // Changed on disk, as by an earlier run: kept as it is.
    WriteAll(staged, "changed");
    TraceCapture trace;
    _stringx again;
    EXPECT_EQ(resource->Stage(again, nullptr), S_OK);
    EXPECT_EQ(again, staged);
    EXPECT_EQ(ReadAll(staged), "changed");
    EXPECT_EQ(host.extractions, 1);
    EXPECT_NE(trace.Messages().find(L"is already staged from stream"), std::wstring::npos);
}

TEST_F(ResourceTest, StagingFailures)
{
    {
        auto resource = Make({{L"Stream", L"absent.bin"}});
        _stringx staged;
        EXPECT_EQ(resource->Stage(staged, nullptr), kStreamExtractFailed);
    }
    {
        auto resource = Make({{L"Source", L"Z:\\no\\such\\file.dll"}});
        _stringx staged;
        EXPECT_EQ(resource->Stage(staged, nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    }
    {
        TraceCapture trace;
        auto resource = Make({{L"Url", L"http://127.0.0.1:9/files/"}});
        _stringx staged;
        EXPECT_EQ(resource->Stage(staged, nullptr), static_cast<HRESULT>(0x800700A1));
        EXPECT_NE(trace.Messages().find(L"Not downloading URL resource since it has no filename."),
                  std::wstring::npos);
    }
    {
        // The staging folder lies under a file, so its folder cannot be made.
        const _stringx blocker = host.staging.path_combine(L"blocker");
        WriteAll(blocker, "x");
        host.staging = blocker.path_combine(L"below");
        auto resource = Make({{L"Stream", L"ui\\suite.dll"}});
        _stringx staged;
        EXPECT_EQ(resource->Stage(staged, nullptr), E_ABORT);
        host.staging = blocker.path_folder();
    }
}

TEST_F(ResourceTest, SourcesAreCopiedRelativeToTheCurrentFolder)
{
    const _stringx sources = NewTempFolder(L"resource-sources");
    WriteAll(sources.path_combine(L"relative.txt"), "relative");
    WriteAll(sources.path_combine(L"absolute.txt"), "absolute");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(sources.c_str()));

    auto relative = Make({{L"Source", L"relative.txt"}});
    auto absolute = Make({{L"Source", sources.path_combine(L"absolute.txt").c_str()}});
    _stringx staged;
    EXPECT_EQ(relative->Stage(staged, nullptr), S_OK);
    EXPECT_EQ(ReadAll(host.staging.path_combine(L"relative.txt")), "relative");
    EXPECT_EQ(absolute->Stage(staged, nullptr), S_OK);
    EXPECT_EQ(staged, host.staging.path_combine(L"absolute.txt"));
    EXPECT_EQ(ReadAll(staged), "absolute");

    SetCurrentDirectoryW(previous);
    kr::delete_tree(sources, false);
}

TEST_F(ResourceTest, NamespaceDllIsLoadedAndFreedWithItsResource)
{
    const _stringx staged = host.staging.path_combine(L"ui\\suite.dll");
    {
        TraceCapture trace;
        auto resource = Make({{L"Stream", L"ui\\suite.dll"}, {L"Namespace", L"urn:suite"}});
        ASSERT_EQ(resource->Initialize(nullptr), S_OK);
        EXPECT_TRUE(resource->IsInitialized());
        ASSERT_NE(resource->Module(), nullptr);
        EXPECT_EQ(GetModuleHandleW(staged.c_str()), resource->Module());
        EXPECT_NE(trace.Messages().find(L"Module load succeeded"), std::wstring::npos);
    }
    EXPECT_EQ(GetModuleHandleW(staged.c_str()), nullptr);
}

TEST_F(ResourceTest, InitializeLoadsOnlyWhatIsAModuleToLoad)
{
    // Not a program module, but with a namespace: initialised all the same.
    auto text = Make({{L"Stream", L"notes.txt"}, {L"Namespace", L"urn:notes"}});
    EXPECT_EQ(text->Initialize(nullptr), S_OK);
    EXPECT_TRUE(text->IsInitialized());
    EXPECT_EQ(text->Module(), nullptr);

    // Neither UI nor namespace: staged, never loaded.
    auto plain = Make({{L"Stream", L"ui\\suite.dll"}});
    EXPECT_EQ(plain->Initialize(nullptr), S_OK);
    EXPECT_TRUE(plain->IsInitialized());
    EXPECT_EQ(plain->Module(), nullptr);

    // The UI resource is loaded without a namespace.
    auto ui = Make({{L"Stream", L"ui\\suite.dll"}}, true);
    EXPECT_EQ(ui->Initialize(nullptr), S_OK);
    EXPECT_NE(ui->Module(), nullptr);

    auto missing = Make({{L"Stream", L"absent.dll"}, {L"Namespace", L"urn:absent"}});
    EXPECT_EQ(missing->Initialize(nullptr), kStreamExtractFailed);
    EXPECT_FALSE(missing->IsInitialized());
}

TEST_F(ResourceTest, NameReplacesTheLocationAndKeepsTheType)
{
    auto resource = Make({{L"Stream", L"first.bin"}, {L"Name", L"notes.txt"}});
    EXPECT_EQ(resource->SourceType(), rstStream);
    EXPECT_EQ(resource->Location(), _stringx(L"notes.txt"));
    auto url = Make({{L"Url", L"https://example.invalid/a/setup.dll?x=1"}, {L"unknown", L"ignored"}});
    EXPECT_EQ(url->SourceType(), rstUrl);
    EXPECT_EQ(UrlFileName(url->Location()), _stringx(L"setup.dll"));
}

} // namespace
