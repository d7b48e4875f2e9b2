#include "kr/trace_log.h"

#include "TestFolder.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace {

const wchar_t kStudioKey[] = L"SOFTWARE\\Korvanstilmer\\9.0\\Studio";

// One registry value of the Studio key, saved at the start and put back at the end.
class SavedValue {
public:
    explicit SavedValue(const wchar_t* name) : name_(name)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kStudioKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        if (RegQueryValueExW(key, name, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            data_.resize(size);
            present_ = RegQueryValueExW(key, name, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }

    ~SavedValue()
    {
        if (present_)
            Set(type_, data_.data(), static_cast<DWORD>(data_.size()));
        else
            Delete();
    }

    void Set(DWORD type, const void* data, DWORD size) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kStudioKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name_, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }

    void SetDword(DWORD value) const { Set(REG_DWORD, &value, sizeof(value)); }

    void SetText(const std::wstring& text) const
    {
        Set(REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    void Delete() const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kStudioKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, name_);
            RegCloseKey(key);
        }
    }

private:
    const wchar_t* name_;
    DWORD type_ = 0;
    std::vector<BYTE> data_;
    bool present_ = false;
};

std::wstring AsText(const std::string& bytes, size_t skip)
{
    if (bytes.size() < skip)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + skip), (bytes.size() - skip) / 2);
}

const char kMark[] = "\xFF\xFE";

class TraceLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTraceState();
        switch_.Delete();
        folder_value_.Delete();
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"kr_trace_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                  std::to_wstring(++counter_);
        CreateDirectoryW(folder_.c_str(), nullptr);
        log_ = folder_ + L"\\trace.log";
    }

    void TearDown() override
    {
        ResetTraceState();
        DeleteFileW(log_.c_str());
        DeleteFileW((folder_ + L"\\Korvanstilmer.log").c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    // Tracing switched on by the registry alone, the decision taken at once.
    void DecideOnThroughRegistry()
    {
        switch_.SetDword(1);
        TraceIfEnabled(L"decided", L"TraceLogTest.cpp", 1);
        switch_.Delete();
        ASSERT_TRUE(TraceState().on);
    }

    SavedValue switch_{L"DoVerboseLogging"};
    SavedValue folder_value_{L"VerboseLogPath"};
    std::wstring folder_;
    std::wstring log_;
    static int counter_;
};

int TraceLog::counter_ = 0;

TEST_F(TraceLog, RegistrySwitchWritesSourceFileAndLine)
{
    SetTraceLogPath(log_.c_str());
    DecideOnThroughRegistry();
    TraceFormat({L"C:\\work\\engine\\SetupEngine.cpp", 42}, L"staging %s (%d)", L"a.msi", 7);

    const std::string bytes = ReadBytes(log_);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string(kMark, 2));
    const std::wstring text = AsText(bytes, 2);
    const std::wregex line(L"\\d{1,2}-\\d{1,2}-\\d{4}\\[\\d\\d:\\d\\d:\\d\\d [^\\]]+\\]: decided  --  File: "
                           L"TraceLogTest\\.cpp, Line: 1\r\n"
                           L"\\d{1,2}-\\d{1,2}-\\d{4}\\[\\d\\d:\\d\\d:\\d\\d [^\\]]+\\]: staging a\\.msi \\(7\\)  --  "
                           L"File: engine\\\\SetupEngine\\.cpp, Line: 42\r\n");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(TraceLog, EntrySwitchWritesNoSource)
{
    TraceState().on = true;
    TraceState().with_source = false;
    SetTraceLogPath(log_.c_str());
    TraceFormat({L"engine\\Entry.cpp", 9}, L"debuglog given");

    const std::wstring text = AsText(ReadBytes(log_), 2);
    const std::wregex line(L"\\d{1,2}-\\d{1,2}-\\d{4}\\[\\d\\d:\\d\\d:\\d\\d [^\\]]+\\]: debuglog given\r\n");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(TraceLog, OnlyAnExactDwordOfOneSwitchesTracingOn)
{
    struct Case {
        const wchar_t* label;
        DWORD type;
        std::string data;
        bool on;
    };
    const Case cases[] = {
        {L"dword 1", REG_DWORD, std::string("\x01\0\0\0", 4), true},
        {L"dword 2", REG_DWORD, std::string("\x02\0\0\0", 4), false},
        {L"dword 0", REG_DWORD, std::string("\0\0\0\0", 4), false},
        {L"string 1", REG_SZ, std::string("1\0\0\0", 4), false},
        {L"binary 1", REG_BINARY, std::string("\x01\0\0\0", 4), false},
    };
    for (const Case& c : cases) {
        ResetTraceState();
        DeleteFileW(log_.c_str());
        SetTraceLogPath(log_.c_str());
        switch_.Set(c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        EXPECT_EQ(IsVerboseLoggingEnabled(), c.on) << c.label;
        TraceFormat({L"x.cpp", 1}, L"line");
        switch_.Delete();
        EXPECT_EQ(GetFileAttributesW(log_.c_str()) != INVALID_FILE_ATTRIBUTES, c.on) << c.label;
    }
    ResetTraceState();
    SetTraceLogPath(log_.c_str());
    DeleteFileW(log_.c_str());
    TraceFormat({L"x.cpp", 1}, L"line");
    EXPECT_EQ(GetFileAttributesW(log_.c_str()), INVALID_FILE_ATTRIBUTES) << L"absent value";
}

TEST_F(TraceLog, DecidedOncePerProcess)
{
    SetTraceLogPath(log_.c_str());
    TraceFormat({L"x.cpp", 1}, L"decides off");
    switch_.SetDword(1);
    TraceFormat({L"x.cpp", 2}, L"still off");
    switch_.Delete();
    EXPECT_EQ(GetFileAttributesW(log_.c_str()), INVALID_FILE_ATTRIBUTES);

    // Once off, nothing is formatted: a bad argument is never touched.
    TraceFormat({L"x.cpp", 3}, L"%s", reinterpret_cast<const wchar_t*>(1));

    ResetTraceState();
    SetTraceLogPath(log_.c_str());
    DecideOnThroughRegistry();
    TraceFormat({L"x.cpp", 4}, L"still on without the value");
    EXPECT_NE(AsText(ReadBytes(log_), 2).find(L"still on without the value"), std::wstring::npos);
}

TEST_F(TraceLog, ExistingFilesKeepTheirStart)
{
    struct Case {
        const wchar_t* label;
        std::string before;
    };
    const Case cases[] = {
        {L"with mark", std::string("\xFF\xFE" "o\0l\0d\0\r\0\n\0", 12)},
        {L"without mark", std::string("ansi text\r\n")},
        {L"one byte", std::string("x")},
    };
    for (const Case& c : cases) {
        ResetTraceState();
        SetTraceLogPath(log_.c_str());
        TraceState().on = true;
        WriteBytes(log_, c.before);
        TraceFormat({L"x.cpp", 1}, L"appended");
        const std::string after = ReadBytes(log_);
        ASSERT_GT(after.size(), c.before.size()) << c.label;
        EXPECT_EQ(after.substr(0, c.before.size()), c.before) << c.label;
        EXPECT_EQ(after.find(kMark, c.before.size()), std::string::npos) << c.label;
    }
}

TEST_F(TraceLog, RegistryFolderAndProgramFolder)
{
    folder_value_.SetText(folder_ + L"\\");
    EXPECT_EQ(std::wstring(GetVerboseLogPath().c_str()), folder_ + L"\\Korvanstilmer.log");
    TraceState().on = true;
    TraceFormat({L"x.cpp", 1}, L"into the registry folder");
    folder_value_.Delete();
    EXPECT_NE(AsText(ReadBytes(folder_ + L"\\Korvanstilmer.log"), 2).find(L"into the registry folder"),
              std::wstring::npos);

    folder_value_.SetDword(5);
    const std::wstring fallback = GetVerboseLogPath().c_str();
    folder_value_.Delete();
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring program_folder(module);
    program_folder.resize(program_folder.rfind(L'\\'));
    EXPECT_EQ(fallback, program_folder + L"\\Korvanstilmer.log");

    SetTraceLogPath(log_.c_str());
    EXPECT_EQ(std::wstring(GetTraceLogPath().c_str()), log_);
}

TEST_F(TraceLog, SourceNamesShowTheLastFolderAndFile)
{
    struct Case {
        const wchar_t* source;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {L"C:\\build\\installer\\engine\\Staging.cpp", L"engine\\Staging.cpp"},
        {L"Common\\MaintenanceRegistrar", L"Common\\MaintenanceRegistrar"},
        {L"Plain.cpp", L"Plain.cpp"},
        {L"C:\\Root.cpp", L"C:\\Root.cpp"},
    };
    SetTraceLogPath(log_.c_str());
    TraceState().on = true;
    for (const Case& c : cases) {
        DeleteFileW(log_.c_str());
        TraceWriteLine(L"m", c.source, 3);
        const std::wstring text = AsText(ReadBytes(log_), 0);
        EXPECT_NE(text.find(std::wstring(L"File: ") + c.shown + L", Line: 3\r\n"), std::wstring::npos)
            << c.source << L" -> " << text;
    }
}

TEST_F(TraceLog, TracingKeepsTheLastError)
{
    SetTraceLogPath(log_.c_str());
    TraceState().on = true;
    WriteBytes(log_, "x");
    SetLastError(ERROR_INVALID_DATA);
    TraceFormat({L"x.cpp", 1}, L"the file exists, so CreateFileW reports ERROR_ALREADY_EXISTS");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

} // namespace
