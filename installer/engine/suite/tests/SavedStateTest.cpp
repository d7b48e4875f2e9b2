#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/ConditionTestSupport.h"
#include "EngineTestSupport.h"
#include "kr/file_system.h"
#include "kr/registry.h"
#include "kr/temp_folders.h"

using engine_testing::EventSink;
using engine_testing::NewEngine;
using engine_testing::TempFile;

namespace {

constexpr wchar_t kSuiteId[] = L"{5E1B0C7A-2D43-4F8E-9A61-3C7D2B9E0F14}";
constexpr wchar_t kOtherSuiteId[] = L"{5E1B0C7A-2D43-4F8E-9A61-3C7D2B9E0F15}";
constexpr wchar_t kSuites[] = L"Software\\Korvanstilmer\\SuiteInstallers";

std::wstring StateKey(const wchar_t* suiteId)
{
    return std::wstring(kSuites) + L"\\" + suiteId;
}

void DeleteStateKey(const wchar_t* suiteId)
{
    RegDeleteKeyW(HKEY_CURRENT_USER, StateKey(suiteId).c_str());
}

// The state key as a saved run leaves it: "InfoPath" and, unless 0, "Reboot".
void WriteStateKey(const wchar_t* suiteId, const std::wstring& infoPath, DWORD reboot)
{
    ASSERT_TRUE(kr::reg_create_key(HKEY_CURRENT_USER, StateKey(suiteId).c_str()));
    ASSERT_TRUE(kr::reg_write_string(HKEY_CURRENT_USER, StateKey(suiteId).c_str(), L"InfoPath", infoPath.c_str()));
    if (reboot) {
        ASSERT_TRUE(kr::reg_write_dword(HKEY_CURRENT_USER, StateKey(suiteId).c_str(), L"Reboot", reboot));
    }
}

std::wstring InfoPath(const wchar_t* suiteId)
{
    return kr::reg_read_string(HKEY_CURRENT_USER, StateKey(suiteId).c_str(), L"InfoPath", L"").c_str();
}

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::wstring> SubkeysOf(const std::wstring& path)
{
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

std::string FileBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring FileText(const std::wstring& path)
{
    const std::string bytes = FileBytes(path);
    if (bytes.size() < 2)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
}

void WriteUtf16File(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    const std::wstring withMark = L"\xFEFF" + text;
    DWORD written = 0;
    WriteFile(file, withMark.data(), static_cast<DWORD>(withMark.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

// A new folder under the temporary folder, with its trailing backslash.
std::wstring NewFolder()
{
    return kr::get_temp_file_name(L"", L"", false).c_str();
}

bool FolderExists(const std::wstring& folder)
{
    return kr::path_test(folder.c_str(), kr::path_accept_folder);
}

bool FileExists(const std::wstring& path)
{
    return kr::path_test(path.c_str(), kr::path_accept_file);
}

std::wstring FileNameOf(const std::wstring& path)
{
    return path.substr(path.rfind(L'\\') + 1);
}

// Leaves no state key of the test's suites behind, whatever a test ends with.
class SavedStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteStateKey(kSuiteId);
        DeleteStateKey(kOtherSuiteId);
    }
    void TearDown() override
    {
        DeleteStateKey(kSuiteId);
        DeleteStateKey(kOtherSuiteId);
    }
};

TEST_F(SavedStateTest, FirstRunNamesTheFileAndWritesItAtTheFirstSave)
{
    const std::wstring folder = NewFolder();
    CStateManager state;
    state.SetStagingFolder(folder.c_str());
    EXPECT_EQ(-1, state.LoadState(L""));
    EXPECT_FALSE(KeyExists(StateKey(kSuiteId)));

    ASSERT_EQ(0, state.LoadState(kSuiteId));
    EXPECT_FALSE(state.HasExistingState());
    EXPECT_EQ(StateKey(kSuiteId), state.GetStateKeyPath().c_str());
    kr::stringx_vector values;
    ASSERT_TRUE(kr::reg_enum_value_names(HKEY_CURRENT_USER, StateKey(kSuiteId).c_str(), 0, values));
    ASSERT_EQ(1u, values.size());
    EXPECT_EQ(L"InfoPath", std::wstring(values[0].c_str()));
    const std::wstring path = InfoPath(kSuiteId);
    EXPECT_EQ(folder, path.substr(0, folder.size()));
    EXPECT_EQ(0u, FileNameOf(path).find(L"_kr")) << path;
    EXPECT_FALSE(FileExists(path)) << "nothing is written before the first save";

    state.SaveProperty(L"Chosen", L"yes");
    state.SaveCurrentTransaction(2);
    state.SaveParcelState(L"RuntimeA", 3, 1, true);
    state.SaveFeatureState(L"Main", 4, 2);
    state.SaveParcelValue(L"RuntimeA", L"PackagePath", L"C:\\p.msi");
    const std::string bytes = FileBytes(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ('\xFF', bytes[0]);
    EXPECT_EQ('\xFE', bytes[1]);
    EXPECT_EQ(L"[Properties]\r\nChosen=yes\r\nCurrentTx=2\r\n\r\n"
              L"[Parcel_RuntimeA]\r\nAction=3\r\nDetect=1\r\nComplete=Yes\r\nPackagePath=C:\\p.msi\r\n\r\n"
              L"[Feature_Main]\r\nAction=4\r\nDetect=2\r\n",
              FileText(path));

    state.RemoveStagingFiles();
    EXPECT_FALSE(FolderExists(folder));
    EXPECT_FALSE(KeyExists(StateKey(kSuiteId)));
}

TEST_F(SavedStateTest, StagedFilesCountWhileTheyExist)
{
    const std::wstring folder = NewFolder();
    const std::wstring file = folder + L"package.cab";
    WriteUtf16File(file, L"x");
    CStateManager state;
    state.SetStagingFolder(folder.c_str());
    ASSERT_EQ(0, state.LoadState(kSuiteId));
    EXPECT_FALSE(state.IsFileStaged(file.c_str()));
    state.MarkFileStaged(file.c_str());
    EXPECT_TRUE(state.IsFileStaged((folder + L"PACKAGE.CAB").c_str())) << "paths compare without case";
    EXPECT_NE(std::wstring::npos, FileText(state.StateFilePath().c_str()).find(L"[Files]\r\n" + file + L"=Yes"));
    DeleteFileW(file.c_str());
    EXPECT_FALSE(state.IsFileStaged(file.c_str())) << "a staged file that is gone must be staged again";
    state.RemoveStagingFiles();
}

// How an existing key is taken: the file it names is loaded, or an empty
// state starts; a folder that is gone moves the state into this run's folder.
TEST_F(SavedStateTest, ExistingKeyTable)
{
    enum class Kind { valid, missingFile, corrupted, folderGone, emptyPath };
    struct Row {
        Kind kind;
        bool existing;
        bool samePath;
        const wchar_t* log;
    };
    const Row rows[] = {
        {Kind::valid, true, true, L"State manager: registry indicates existing state info"},
        {Kind::missingFile, false, true, L"State manager: state info not found"},
        {Kind::corrupted, false, true, L"State manager: invalid or corrupted state info"},
        {Kind::folderGone, false, false, L"State manager: state info not found"},
        {Kind::emptyPath, false, false, L"State manager: state info not found"},
    };
    for (const Row& row : rows) {
        const int index = static_cast<int>(row.kind);
        const std::wstring savedFolder = NewFolder();
        const std::wstring runFolder = NewFolder();
        std::wstring path = savedFolder + L"_krsaved.tmp";
        if (row.kind == Kind::valid)
            WriteUtf16File(path, L"[Properties]\r\nChosen=yes\r\n");
        if (row.kind == Kind::corrupted)
            WriteUtf16File(path, L"[Properties\r\nChosen=yes\r\n");
        if (row.kind == Kind::folderGone)
            kr::delete_tree(savedFolder.c_str(), false);
        if (row.kind == Kind::emptyPath)
            path.clear();
        WriteStateKey(kSuiteId, path, 1);

        testing_support::TraceCapture trace;
        CStateManager state;
        state.SetStagingFolder(runFolder.c_str());
        ASSERT_EQ(0, state.LoadState(kSuiteId)) << index;
        const std::wstring log = trace.Messages();
        EXPECT_NE(std::wstring::npos, log.find(row.log)) << index << log;
        EXPECT_EQ(row.existing, state.HasExistingState()) << index;
        EXPECT_EQ(row.existing ? savedFolder : runFolder, std::wstring(state.StagingFolder().c_str())) << index;
        const std::wstring now = InfoPath(kSuiteId);
        EXPECT_EQ(now, std::wstring(state.StateFilePath().c_str())) << index;
        if (row.samePath) {
            EXPECT_EQ(path, now) << index;
        } else {
            EXPECT_EQ(runFolder, now.substr(0, runFolder.size())) << index << " " << now;
            EXPECT_EQ(0u, FileNameOf(now).find(L"_kr")) << now;
        }
        // Every kind of start can save.
        state.SaveProperty(L"Saved", L"1");
        EXPECT_TRUE(FileExists(now)) << index;
        EXPECT_EQ(row.existing ? L"yes" : L"", std::wstring(state.Value(L"properties", L"chosen").c_str())) << index;

        kr::delete_tree(savedFolder.c_str(), false);
        kr::delete_tree(runFolder.c_str(), false);
        DeleteStateKey(kSuiteId);
    }
}

// Only a loaded state with "Reboot" set makes a resumed run.
TEST_F(SavedStateTest, ResumedOnlyWithRebootAndALoadedState)
{
    struct Row {
        bool file;
        DWORD reboot;
        bool rebooted;
    };
    const Row rows[] = {{true, 1, true}, {true, 0, false}, {false, 1, false}};
    for (const Row& row : rows) {
        const std::wstring folder = NewFolder();
        const std::wstring path = folder + L"_krstate.tmp";
        if (row.file)
            WriteUtf16File(path, L"[Properties]\r\n");
        WriteStateKey(kSuiteId, path, row.reboot);
        {
            const auto engine = NewEngine();
            engine->SetProperty(L"SuiteId", kSuiteId, false);
            engine->InitializeState();
            EXPECT_EQ(row.rebooted, engine->CheckRunRebooted()) << row.file << row.reboot;
        }
        kr::delete_tree(folder.c_str(), false);
        DeleteStateKey(kSuiteId);
    }
}

TEST_F(SavedStateTest, RemovalKeepsTheSuitesKeyWhileOthersAreBelowIt)
{
    const std::wstring parcels = std::wstring(kSuites) + L"\\Parcels";
    const bool parcelsBefore = KeyExists(parcels);
    for (const wchar_t* other : {kOtherSuiteId, L"Parcels"}) {
        const std::wstring otherKey = std::wstring(kSuites) + L"\\" + other;
        ASSERT_TRUE(kr::reg_create_key(HKEY_CURRENT_USER, otherKey.c_str()));
        const std::wstring folder = NewFolder();
        CStateManager state;
        state.SetStagingFolder(folder.c_str());
        ASSERT_EQ(0, state.LoadState(kSuiteId));
        EXPECT_EQ(ERROR_SUCCESS, state.RemoveStateInfo());
        EXPECT_FALSE(KeyExists(StateKey(kSuiteId)));
        EXPECT_TRUE(KeyExists(otherKey)) << other;
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, state.RemoveStateInfo()) << "nothing left to remove";
        if (std::wstring(other) != L"Parcels" || !parcelsBefore)
            RegDeleteKeyW(HKEY_CURRENT_USER, otherKey.c_str());
        kr::delete_tree(folder.c_str(), false);
    }

    // The last suite takes the suites key with it.
    const std::wstring folder = NewFolder();
    CStateManager state;
    state.SetStagingFolder(folder.c_str());
    ASSERT_EQ(0, state.LoadState(kSuiteId));
    const std::vector<std::wstring> others = SubkeysOf(kSuites);
    state.RemoveStateInfo();
    EXPECT_EQ(others.size() > 1, KeyExists(kSuites));
    kr::delete_tree(folder.c_str(), false);
}

TEST_F(SavedStateTest, StagingFilesStayWhenTheFolderIsGone)
{
    const std::wstring folder = NewFolder();
    CStateManager state;
    state.SetStagingFolder(folder.c_str());
    ASSERT_EQ(0, state.LoadState(kSuiteId));
    kr::delete_tree(folder.c_str(), false);
    state.RemoveStagingFiles();
    EXPECT_TRUE(KeyExists(StateKey(kSuiteId))) << "no folder, nothing removed, the registry state included";
}

// A saved state read back into a fresh engine during its start-up: the
// properties, the install mode, the transaction to resume, parcels and
// features by their sections, the staged files.
TEST_F(SavedStateTest, ResumedStartRestoresTheSavedState)
{
    const std::wstring folder = NewFolder();
    const std::wstring stateFile = folder + L"_krB2.tmp";
    const std::wstring staged = folder + L"runtime.cab";
    WriteUtf16File(staged, L"x");
    WriteUtf16File(stateFile, L"[Properties]\r\nPassword=true\r\nCurrentTx=1\r\nInstallMode=3\r\n"
                              L"SETUPEXEDIR=C:\\gone\\{TEMP}\r\nSETUPEXENAME=old.exe\r\nKRElevationRequired=saved\r\n"
                              L"SuiteId={other}\r\n"
                              L"ProgramFilesFolder=C:\\Saved Programs\r\nChosen=yes\r\n"
                              L"[parcel_RuntimeA]\r\nAction=2\r\nDetect=1\r\nComplete=Yes\r\n"
                              L"[Parcel_Vanished]\r\nAction=1\r\n"
                              L"[FEATURE_Deep]\r\nAction=4\r\nDetect=2\r\n[Feature_Gone]\r\nAction=4\r\n"
                              L"[Files]\r\n" +
                                  staged + L"=Yes\r\n[Other]\r\nChosen=no\r\n");
    WriteStateKey(kSuiteId, stateFile, 1);
    const TempFile setupXml(L"\xFEFF<Setup xmlns=\"korvanstilmer/2018/bootstrap\" SuiteId=\"" + std::wstring(kSuiteId) +
                            L"\"><Parcels><Exe Id=\"RuntimeA\"/><Exe Id=\"ToolB\"/></Parcels>"
                            L"<SelectionTree><Selection Name=\"Main\" Install=\"RuntimeA\">"
                            L"<Selection Name=\"Extras\" Install=\"ToolB\"><Selection Name=\"Deep\"/></Selection>"
                            L"</Selection></SelectionTree></Setup>");
    {
        const auto engine = NewEngine();
        EventSink sink(*engine.Get());
        const std::wstring launcherFolder = engine->GetProperty(L"SETUPEXEDIR").c_str();
        const std::wstring elevationRequired = engine->GetProperty(L"KRElevationRequired").c_str();
        const std::wstring line = L"/silent /f3:" + setupXml.Path();
        BSTR text = SysAllocString(line.c_str());
        bool exitNow = false;
        const HRESULT result = engine->Initialize(text, &exitNow);
        SysFreeString(text);
        ASSERT_EQ(S_OK, result);

        EXPECT_EQ((std::vector<int>{ebsResourceInit, ebsInitializing, ebsResuming}), sink.BootstrapStates());
        EXPECT_EQ(L"true", engine->GetProperty(L"KROnRebooted"));
        EXPECT_EQ(folder, std::wstring(engine->StagingFolder().c_str())) << "the saved run's folder";
        EXPECT_EQ(folder, std::wstring(engine->GetProperty(L"SETUPSUPPORTDIR").c_str()));
        EXPECT_TRUE(engine->PasswordValid());
        EXPECT_EQ(1, engine->CurrentTransaction());
        EXPECT_EQ(eimRemove, engine->GetInstallMode());
        EXPECT_EQ(L"3", engine->GetProperty(L"KRInstallMode"));
        EXPECT_TRUE(engine->IsMaintenance());
        EXPECT_EQ(L"yes", engine->GetProperty(L"Chosen")) << "only the Properties section restores properties";
        EXPECT_EQ(L"C:\\Saved Programs", engine->GetProperty(L"ProgramFilesFolder")) << "locked, restored all the same";
        EXPECT_EQ(launcherFolder, std::wstring(engine->GetProperty(L"SETUPEXEDIR").c_str()));
        EXPECT_NE(L"old.exe", engine->GetProperty(L"SETUPEXENAME"));
        EXPECT_EQ(elevationRequired, std::wstring(engine->GetProperty(L"KRElevationRequired").c_str()));
        EXPECT_EQ(kSuiteId, engine->GetSuiteId());

        CParcel* parcel = engine->FindParcel(L"RuntimeA");
        ASSERT_NE(nullptr, parcel);
        EXPECT_EQ(2, parcel->GetActionState());
        EXPECT_EQ(1, parcel->GetDetectedState());
        EXPECT_TRUE(parcel->IsComplete());
        CFeature* deep = engine->Model().topLevelFeatures[0]->Children()[0]->Children()[0];
        EXPECT_EQ(4, deep->GetActionState());
        EXPECT_EQ(2, deep->GetInstalledState());
        EXPECT_TRUE(engine->SavedState().IsFileStaged(staged.c_str()));

        // The resumed run writes on into the same file.
        engine->SaveProperties();
        const std::wstring saved = FileText(stateFile);
        EXPECT_NE(std::wstring::npos, saved.find(L"Password=true")) << saved;
        EXPECT_NE(std::wstring::npos, saved.find(L"KROnRebooted=true")) << saved;
    }
    EXPECT_FALSE(FolderExists(folder)) << "a run that ends removes its suite folder";
    EXPECT_FALSE(KeyExists(StateKey(kSuiteId)));
}

// A first start through the engine: a new state in the run's folder, the
// choices of the start-up saved, and everything gone with the engine.
TEST_F(SavedStateTest, FirstStartSavesAndTheEndRemovesIt)
{
    const TempFile setupXml(L"\xFEFF<Setup xmlns=\"korvanstilmer/2018/bootstrap\" SuiteId=\"" + std::wstring(kSuiteId) +
                            L"\"/>");
    std::wstring folder;
    {
        const auto engine = NewEngine();
        EventSink sink(*engine.Get());
        const std::wstring line = L"/silent /repair /f3:" + setupXml.Path();
        BSTR text = SysAllocString(line.c_str());
        bool exitNow = false;
        ASSERT_EQ(S_OK, engine->Initialize(text, &exitNow));
        SysFreeString(text);
        EXPECT_EQ((std::vector<int>{ebsResourceInit, ebsInitializing}), sink.BootstrapStates());
        EXPECT_EQ(L"", engine->GetProperty(L"KROnRebooted"));
        folder = engine->StagingFolder().c_str();
        const std::wstring path = InfoPath(kSuiteId);
        EXPECT_EQ(folder, path.substr(0, folder.size()));
        const std::wstring saved = FileText(path);
        EXPECT_NE(std::wstring::npos, saved.find(L"InstallMode=4")) << saved;
        EXPECT_NE(std::wstring::npos, saved.find(L"KRSelectedLanguage=")) << saved;
    }
    EXPECT_FALSE(FolderExists(folder));
    EXPECT_FALSE(KeyExists(StateKey(kSuiteId)));
}

} // namespace
