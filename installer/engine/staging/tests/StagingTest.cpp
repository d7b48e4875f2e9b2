// Staging of a package's files from the setup stream the packer wrote, from
// source folders, and the path helpers, against a recording engine.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kr/bootstrap_exception.h"
#include "staging/File.h"
#include "staging/Folder.h"
#include "staging/Package.h"
#include "staging/StagingHost.h"
#include "staging/StagingPaths.h"
#include "support/ConditionTestSupport.h"

using testing_support::TraceCapture;
namespace fs = std::filesystem;

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr HRESULT kBadDigest = static_cast<HRESULT>(0x80040705);
constexpr const wchar_t* kSetupMd5 = L"05829a2696c24145c8a7729d5400f5d2";
constexpr const wchar_t* kReadmeMd5 = L"06E1475AD6E1F9F9414DA07DADA51F1C";

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().wstring();
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class RecordingStagingHost : public IStagingHost {
public:
    RecordingStagingHost() : stream((ProgramFolder() + L"\\staging-fixtures\\payload.exe").c_str())
    {
        SetStagingHost(this);
    }
    ~RecordingStagingHost() { SetStagingHost(nullptr); }

    EnumInstallMode GetInstallMode() override { return mode; }
    _stringx GetSourceFolder() override { return sourceFolder.c_str(); }
    STREAM* GetStream() override { return &stream; }
    bool IsFileStaged(const _stringx& path) override
    {
        return std::find(stateStaged.begin(), stateStaged.end(), std::wstring(path.c_str())) != stateStaged.end();
    }
    void MarkFileStaged(const _stringx& path) override { marked.push_back(path.c_str()); }
    HRESULT ReportStagingProgress(const _stringx& name, ULONGLONG done, ULONGLONG total) override
    {
        progress.push_back(std::wstring(name.c_str()) + L" " + std::to_wstring(done) + L"/" + std::to_wstring(total));
        return cancelAtProgress && progress.size() >= cancelAtProgress ? kUserExit : S_OK;
    }
    HRESULT ResolveParcelSource(const _stringx& parcelId, _stringx& mediaPath) override
    {
        prompts.push_back(parcelId.c_str());
        mediaPath = mediaAnswer.c_str();
        return S_OK;
    }
    _stringx ResolveStringId(const _stringx& id) override
    {
        return id == L"IDS_STAGEDOWNLOAD_FAILRETRY" ? L"Could not read %s. Retry?" : id;
    }
    HRESULT Fire_OnNonFatalError(const _stringx& message, int flags, int* answer) override
    {
        questions.push_back(std::wstring(message.c_str()) + L" flags " + std::to_wstring(flags));
        *answer = answers.empty() ? IDCANCEL : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return S_OK;
    }
    bool IsWow64() override { return wow64; }
    _stringx GetStagingFolder() override { return _stringx(); }
    HRESULT Fire_OnStagingParcel(EnumParcelStagingState, IParcel*) override { return S_OK; }

    STREAM stream;
    EnumInstallMode mode = eimInstall;
    std::wstring sourceFolder;
    std::vector<std::wstring> stateStaged;
    std::wstring mediaAnswer;
    size_t cancelAtProgress = 0;
    std::vector<int> answers;
    bool wow64 = false;

    std::vector<std::wstring> marked;
    std::vector<std::wstring> progress;
    std::vector<std::wstring> prompts;
    std::vector<std::wstring> questions;
};

std::unique_ptr<CFile> MakeFile(const wchar_t* name, const wchar_t* md5 = nullptr)
{
    auto file = std::make_unique<CFile>();
    file->SetAttribute(L"Name", name);
    if (md5)
        file->SetAttribute(L"MD5", md5);
    return file;
}

std::unique_ptr<CFolder> MakeFolder(const wchar_t* kind, const std::wstring& location, const wchar_t* name = nullptr)
{
    auto folder = std::make_unique<CFolder>();
    folder->SetAttribute(kind, location.c_str());
    if (name)
        folder->SetAttribute(L"Name", name);
    return folder;
}

class Staging : public ::testing::Test {
protected:
    Staging()
    {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        root = fs::path(temp) / (L"staging_test_" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(root);
        fs::create_directories(root);
        host.sourceFolder = (root / L"media").wstring();
    }
    ~Staging() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // The package staged into root\stage, with the given attributes.
    HRESULT StagePackage(CPackage& package, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more = {})
    {
        package.SetAttribute(L"Name", (root / L"stage").wstring().c_str());
        package.SetAttribute(L"ParcelId", L"P1");
        for (const auto& [name, value] : more)
            package.SetAttribute(name, value);
        return package.Stage();
    }

    // A package of one Stream folder with the two entries.
    std::unique_ptr<CPackage> StreamPackage(const wchar_t* setupMd5 = kSetupMd5, const wchar_t* readmeMd5 = kReadmeMd5)
    {
        auto package = std::make_unique<CPackage>();
        CFolder& folder = package->SetRootFolder(MakeFolder(L"Stream", L"", L"ignored"));
        folder.AddFile(MakeFile(L"app\\setup.exe", setupMd5));
        folder.AddFile(MakeFile(L"app\\readme.txt", readmeMd5));
        return package;
    }

    fs::path Stage(const wchar_t* relative) const { return root / L"stage" / relative; }

    fs::path root;
    RecordingStagingHost host;
};

HRESULT StagedException(const std::function<HRESULT()>& run, std::wstring* path = nullptr)
{
    try {
        run();
    } catch (const staged_file_exception& failure) {
        if (path)
            *path = failure.path().c_str();
        return failure.hresult();
    }
    return S_OK;
}

TEST_F(Staging, StreamFolderStagesBelowItsParentByEntryNames)
{
    ASSERT_TRUE(host.stream.is_open());
    const auto owned = StreamPackage();
    CPackage& package = *owned;
    EXPECT_EQ(StagePackage(package), S_FALSE);
    EXPECT_EQ(ReadAll(Stage(L"app\\readme.txt")), "read me first\n");
    EXPECT_EQ(fs::file_size(Stage(L"app\\setup.exe")), 8000u);
    EXPECT_EQ(host.marked, (std::vector<std::wstring>{Stage(L"app\\setup.exe").wstring(),
                                                      Stage(L"app\\readme.txt").wstring()}));
    EXPECT_EQ(std::wstring(package.GetAttribute(L"RootPath").c_str()), (root / L"stage" / L"ignored\\").wstring());
    EXPECT_FALSE(host.progress.empty());
    EXPECT_EQ(host.progress.front().rfind(L"setup.exe ", 0), 0u) << host.progress.front();
}

TEST_F(Staging, PresentFileIsCheckedNotFetchedAgain)
{
    WriteAll(Stage(L"app\\readme.txt"), "read me first\n");
    WriteAll(Stage(L"app\\setup.exe"), "not the setup program");
    const auto owned = StreamPackage();
    CPackage& package = *owned;
    TraceCapture trace;
    EXPECT_EQ(StagePackage(package), S_FALSE);
    // The right one is kept and counts as staged; the wrong one is replaced.
    EXPECT_EQ(host.marked, std::vector<std::wstring>{Stage(L"app\\setup.exe").wstring()});
    EXPECT_EQ(fs::file_size(Stage(L"app\\setup.exe")), 8000u);
    const auto& files = package.RootFolder()->Files();
    EXPECT_EQ(std::wstring(files[1]->GetStagedPath().c_str()), Stage(L"app\\readme.txt").wstring());
    EXPECT_NE(trace.Messages().find(L"Existing file does not have valid MD5"), std::wstring::npos);
}

TEST_F(Staging, WrongOrMissingDigestAfterExtractionLeavesNoFile)
{
    for (const wchar_t* md5 : {L"00000000000000000000000000000000", static_cast<const wchar_t*>(nullptr)}) {
        SCOPED_TRACE(md5 ? "wrong digest" : "no digest");
        fs::remove_all(root / L"stage");
        const auto owned = StreamPackage(kSetupMd5, md5);
        CPackage& package = *owned;
        std::wstring path;
        EXPECT_EQ(StagedException([&] { return StagePackage(package); }, &path), kBadDigest);
        EXPECT_EQ(path, Stage(L"app\\readme.txt").wstring());
        EXPECT_FALSE(fs::exists(Stage(L"app\\readme.txt")));
    }
}

TEST_F(Staging, DigestCheckNeedsBothDigests)
{
    WriteAll(root / L"present.txt", "read me first\n");
    host.stateStaged = {(root / L"missing.txt").wstring()};
    const struct {
        const wchar_t* file;
        const wchar_t* md5;
        bool passes;
    } cases[] = {
        {L"present.txt", kReadmeMd5, true},
        {L"present.txt", L"06e1475ad6e1f9f9414da07dada51f1c", true},
        {L"present.txt", nullptr, false},
        {L"missing.txt", nullptr, false},
        {L"missing.txt", L"D41D8CD98F00B204E9800998ECF8427E", false},
    };
    for (const auto& c : cases) {
        auto file = MakeFile(c.file, c.md5);
        // The state file names it as staged, so Stage checks it without fetching when it passes.
        try {
            file->Stage((root / L"nowhere").wstring().c_str(), root.wstring().c_str(), sstSource);
        } catch (const staged_file_exception&) {
        }
        EXPECT_EQ(!file->GetStagedPath().empty(), c.passes) << c.file << L" " << (c.md5 ? c.md5 : L"(none)");
    }
    EXPECT_TRUE(host.marked.empty());
}

TEST_F(Staging, SourceFolderInPlaceOrCopied)
{
    WriteAll(root / L"media" / L"disk1" / L"tool.exe", "tool");
    const struct {
        const char* name;
        EnumInstallMode mode;
        const wchar_t* force;
        bool copied;
    } cases[] = {
        {"install uses it in place", eimInstall, L"0", false},
        {"forced copy", eimInstall, L"1", true},
        {"administrative copy", eimAdmin, L"0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root / L"stage");
        host.mode = c.mode;
        CPackage package;
        package.SetRootFolder(MakeFolder(L"Source", L"disk1", L"pkg")).AddFile(MakeFile(L"tool.exe"));
        TraceCapture trace;
        EXPECT_EQ(StagePackage(package, {{L"ForceStageSourceType", c.force}}), S_FALSE);
        const std::wstring rootPath = package.GetAttribute(L"RootPath").c_str();
        if (c.copied) {
            EXPECT_EQ(rootPath, (root / L"stage" / L"pkg\\").wstring());
            EXPECT_EQ(ReadAll(Stage(L"pkg\\tool.exe")), "tool");
        } else {
            EXPECT_EQ(rootPath, (root / L"media" / L"disk1").wstring());
            EXPECT_FALSE(fs::exists(root / L"stage"));
            EXPECT_NE(trace.Messages().find(L"No staging needed, adjusted stage path to: "), std::wstring::npos);
        }
    }
}

TEST_F(Staging, MissingSourceAsksOnce)
{
    WriteAll(root / L"elsewhere" / L"tool.exe", "tool");
    const struct {
        const char* name;
        std::wstring answer;
        HRESULT expected;
        std::wstring rootPath;
    } cases[] = {
        {"a folder", (root / L"elsewhere").wstring(), S_FALSE, (root / L"elsewhere").wstring()},
        {"a file in the folder", (root / L"elsewhere" / L"tool.exe").wstring(), S_FALSE,
         (root / L"elsewhere").wstring()},
        {"no answer", L"", kPathNotFound, L""},
        {"a file in a missing folder", (root / L"gone" / L"tool.exe").wstring(), kPathNotFound, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host.prompts.clear();
        host.mediaAnswer = c.answer;
        CPackage package;
        package.SetRootFolder(MakeFolder(L"Source", L"disk9")).AddFile(MakeFile(L"tool.exe"));
        EXPECT_EQ(StagePackage(package), c.expected);
        EXPECT_EQ(host.prompts, std::vector<std::wstring>{L"P1"});
        EXPECT_EQ(std::wstring(package.GetAttribute(L"RootPath").c_str()), c.rootPath);
    }
    // A parcel without an id is not asked for.
    host.prompts.clear();
    CPackage anonymous;
    anonymous.SetRootFolder(MakeFolder(L"Source", L"disk9"));
    anonymous.SetAttribute(L"Name", (root / L"stage").wstring().c_str());
    EXPECT_EQ(anonymous.Stage(), kPathNotFound);
    EXPECT_TRUE(host.prompts.empty());
}

TEST_F(Staging, UrlJoining)
{
    const struct {
        const wchar_t* url;
        const wchar_t* part;
        const wchar_t* joined;
    } parts[] = {
        {L"http://host/a", L"b", L"http://host/a/b"},     {L"http://host/a/", L"b", L"http://host/a/b"},
        {L"http://host/a/", L"/b", L"http://host/a/b"},   {L"http://host/a", L"/b", L"http://host/a/b"},
        {L"http://host/a", L"", L"http://host/a"},
    };
    for (const auto& c : parts)
        EXPECT_EQ(std::wstring(AppendUrlPart(c.url, c.part).c_str()), c.joined) << c.url << L" + " << c.part;

    // Folders: a parent ending in a letter gets one slash, one ending with a slash keeps a child's own.
    const struct {
        const wchar_t* parent;
        const wchar_t* child;
        const wchar_t* joined;
    } folders[] = {
        {L"http://host/a", L"b", L"http://host/a/b"},
        {L"http://host/a", L"/b", L"http://host/a/b"},
        {L"http://host/a/", L"b", L"http://host/a/b"},
        {L"http://host/a/", L"/b", L"http://host/a//b"},
    };
    for (const auto& c : folders) {
        auto folder = MakeFolder(L"Url", c.child, L"sub");
        _stringx stagePath;
        EXPECT_EQ(folder->Stage((root / L"stage").wstring().c_str(), stagePath, c.parent), S_OK);
        EXPECT_EQ(std::wstring(folder->GetLocation().c_str()), c.joined) << c.parent << L" + " << c.child;
    }

    // Until downloads exist, an address fails like a missing source, and nothing counts as staged.
    auto file = MakeFile(L"/x.bin", L"D41D8CD98F00B204E9800998ECF8427E");
    std::wstring path;
    const HRESULT hr = StagedException(
        [&] { return file->Stage(L"http://host/a/", (root / L"stage").wstring().c_str(), sstUrl); }, &path);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(path, L"http://host/a/x.bin");
    EXPECT_TRUE(host.marked.empty());
}

TEST_F(Staging, FileAttributes)
{
    const struct {
        const wchar_t* size;
        long long expected;
        bool logged;
    } cases[] = {
        {L"123", 123, false},
        {L"12a", 0, true},
        {L"", 0, false},
    };
    for (const auto& c : cases) {
        CFile file;
        TraceCapture trace;
        file.SetAttribute(L"size", c.size);
        EXPECT_EQ(file.GetSize(), c.expected) << c.size;
        EXPECT_EQ(trace.Messages().find(L"Invalid file size specified for file element: '12a'") != std::wstring::npos,
                  c.logged);
    }

    // An absolute Name lands under its own file name.
    WriteAll(root / L"media" / L"abs.txt", "abs");
    auto file = MakeFile((root / L"media" / L"abs.txt").wstring().c_str());
    EXPECT_EQ(file->Stage(L"", (root / L"stage").wstring().c_str(), sstSource), S_OK);
    EXPECT_EQ(ReadAll(root / L"stage" / L"abs.txt"), "abs");
}

TEST_F(Staging, CancelLeavesNoPartialFile)
{
    WriteAll(root / L"media" / L"big.bin", std::string(100000, 'b'));
    // A copy cancelled at its second chunk.
    host.cancelAtProgress = 2;
    auto copied = MakeFile(L"big.bin");
    EXPECT_EQ(StagedException([&] {
                  return copied->Stage((root / L"media").wstring().c_str(), (root / L"stage").wstring().c_str(),
                                       sstSource);
              }),
              kUserExit);
    EXPECT_FALSE(fs::exists(root / L"stage" / L"big.bin"));

    // An extraction cancelled at its first progress call.
    host.cancelAtProgress = 1;
    host.progress.clear();
    const auto owned = StreamPackage();
    CPackage& package = *owned;
    EXPECT_EQ(StagedException([&] { return StagePackage(package); }), kUserExit);
    EXPECT_FALSE(fs::exists(Stage(L"app\\setup.exe")));
    EXPECT_TRUE(host.marked.empty());
}

// A source whose reads fail: a pipe whose server hangs up on each of its
// connections. Every instance exists before the first client comes.
class HangingUpPipe {
public:
    HangingUpPipe(const std::wstring& name, int connections) : m_name(name)
    {
        for (int i = 0; i < connections; ++i) {
            HANDLE pipe = CreateNamedPipeW(m_name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                           PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
            if (pipe == INVALID_HANDLE_VALUE)
                break;
            m_servers.emplace_back([pipe] {
                ConnectNamedPipe(pipe, nullptr);
                Sleep(50);
                DisconnectNamedPipe(pipe);
                CloseHandle(pipe);
            });
        }
    }
    ~HangingUpPipe()
    {
        // Connections nobody made end the servers' waits.
        for (size_t i = 0; i < m_servers.size(); ++i) {
            HANDLE client = CreateFileW(m_name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            if (client != INVALID_HANDLE_VALUE)
                CloseHandle(client);
        }
        for (std::thread& server : m_servers)
            server.join();
    }

private:
    std::wstring m_name;
    std::vector<std::thread> m_servers;
};

TEST_F(Staging, FailedReadRetriedThenCancelled)
{
    const std::wstring name = L"staging_feed_" + std::to_wstring(GetCurrentProcessId());
    HangingUpPipe feed(L"\\\\.\\pipe\\" + name, 2);
    host.answers = {IDRETRY, IDCANCEL};

    auto file = MakeFile(name.c_str());
    DWORD lastError = 0;
    const HRESULT hr = StagedException([&] {
        try {
            return file->Stage(L"\\\\.\\pipe", (root / L"stage").wstring().c_str(), sstSource);
        } catch (...) {
            lastError = GetLastError();
            throw;
        }
    });
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(lastError, 0x8004070Eu);
    ASSERT_EQ(host.questions.size(), 2u);
    EXPECT_EQ(host.questions[0], L"Could not read \\\\.\\pipe\\" + name + L". Retry? flags 4149");
    EXPECT_FALSE(fs::exists(root / L"stage" / name));
    EXPECT_TRUE(host.marked.empty());
}

TEST(StagingPaths, FinalPathMapping)
{
    const struct {
        const wchar_t* final;
        const wchar_t* plain;
    } cases[] = {
        {L"\\\\?\\C:\\x", L"C:\\x\\"},
        {L"\\\\?\\C:\\x\\", L"C:\\x\\"},
        {L"\\\\?\\UNC\\server\\share\\x", L"\\\\server\\share\\x\\"},
        {L"C:\\plain", L"C:\\plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(FinalPathToPlain(c.final).c_str()), c.plain) << c.final;
}

TEST_F(Staging, CorrectPathAndPathOnlyStage)
{
    fs::create_directories(root / L"there");
    const std::wstring there = (root / L"there\\").wstring();
    _stringx out;
    EXPECT_EQ(GetCorrectPath(there.c_str(), out, false), S_FALSE);
    EXPECT_EQ(GetCorrectPath(L"\\\\server\\share\\x", out, true), S_FALSE);
    EXPECT_EQ(std::wstring(out.c_str()), L"\\\\server\\share\\x");
    EXPECT_EQ(GetCorrectPath(there.c_str(), out, true), S_OK);
    EXPECT_EQ(std::wstring(out.c_str()), there);
    EXPECT_TRUE(FAILED(GetCorrectPath((root / L"missing\\").wstring().c_str(), out, true)));

    // Under WOW64 a stage folder computed ahead of staging does not exist yet.
    host.wow64 = true;
    const auto owned = StreamPackage();
    CPackage& package = *owned;
    EXPECT_EQ(StagePackage(package, {{L"GetPathOnly", L"1"}}), S_OK);
    EXPECT_EQ(std::wstring(package.GetAttribute(L"RootPath").c_str()), (root / L"stage" / L"ignored\\").wstring());
    EXPECT_FALSE(fs::exists(root / L"stage"));
    CPackage none;
    EXPECT_EQ(none.Stage(), S_FALSE);
}

} // namespace
