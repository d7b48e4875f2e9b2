// Benchmark: one 50 MB file installed silently by Tessarel.exe (an Exe
// parcel whose package stand-in copies the staged file) and by an NSIS
// installer of the same file, both in this Wine prefix; both targets are
// checked by MD5 and the two wall times are reported with their ratio.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "LauncherProcess.h"
#include "staging/StagingPaths.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kSuiteId[] = L"{9B3E2F61-0C7A-4D58-8E14-6A2C5D9F0B73}";

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path().wstring();
}

std::wstring ExpectedDigest()
{
    std::ifstream in(fs::path(OwnFolder()) / L"bench-payload.md5");
    std::string text;
    in >> text;
    return std::wstring(text.begin(), text.end());
}

std::wstring Digest(const fs::path& path)
{
    return GetFileMD5Text(path.wstring().c_str()).c_str();
}

// Seconds the program took from start to exit; its exit code in code.
double Timed(const std::wstring& program, const std::wstring& arguments, DWORD& code)
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    code = RunProgram(program, arguments, 600000);
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool SameDigest(const std::wstring& expected, const std::wstring& actual)
{
    return _wcsicmp(expected.c_str(), actual.c_str()) == 0;
}

TEST(RunSuiteBench, FiftyMegabytesAgainstNsis)
{
    const std::wstring expected = ExpectedDigest();
    ASSERT_EQ(32u, expected.size());
    const fs::path root = fs::path(TempFolder()) / (L"run_bench_" + std::to_wstring(GetCurrentProcessId()));
    const fs::path tessarelTarget = root / L"tessarel";
    const fs::path nsisTarget = root / L"nsis";
    fs::remove_all(root);
    fs::create_directories(tessarelTarget);

    DWORD tessarelCode = ~0u;
    const double tessarel = Timed(OwnFolder() + L"\\TessarelBench.exe",
                                  L"/silent BENCHTARGET=" + tessarelTarget.wstring(), tessarelCode);
    DWORD nsisCode = ~0u;
    const double nsis = Timed(OwnFolder() + L"\\NsisBench.exe", L"/S /D=" + nsisTarget.wstring(), nsisCode);

    EXPECT_EQ(0u, tessarelCode);
    EXPECT_EQ(0u, nsisCode);
    EXPECT_TRUE(SameDigest(expected, Digest(tessarelTarget / L"payload.bin")));
    EXPECT_TRUE(SameDigest(expected, Digest(nsisTarget / L"payload.bin")));
    std::printf("install of 50 MB: Tessarel %.2f s, NSIS %.2f s, ratio Tessarel/NSIS %.2f\n", tessarel, nsis,
                nsis > 0 ? tessarel / nsis : 0.0);
    RecordProperty("tessarel_seconds", std::to_string(tessarel));
    RecordProperty("nsis_seconds", std::to_string(nsis));

    std::error_code ignored;
    fs::remove_all(root, ignored);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kSuiteId);
}

} // namespace
