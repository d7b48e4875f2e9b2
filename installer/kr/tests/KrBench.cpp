// Benchmarks of the foundation library: MD5 throughput against md5sum on the
// same 256 MiB file, and string comparison and replace_all on 1 MB texts.
// They print their figures; nothing here asserts a speed.

#include "kr/md5.h"
#include "kr/stringx.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

class Stopwatch {
public:
    Stopwatch()
    {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    double Seconds() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return double(now.QuadPart - start_.QuadPart) / double(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_;
    LARGE_INTEGER start_;
};

using UnixNameFunction = char*(__cdecl*)(const wchar_t*);

std::string UnixName(const std::wstring& path)
{
    const auto to_unix = reinterpret_cast<UnixNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix)
        return std::string();
    char* name = to_unix(path.c_str());
    std::string result = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool WriteTestFile(const std::wstring& path, unsigned long long size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<unsigned char> chunk(1 << 20);
    unsigned seed = 2024;
    bool ok = true;
    for (unsigned long long done = 0; ok && done < size; done += chunk.size()) {
        for (unsigned char& b : chunk) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<unsigned char>(seed >> 24);
        }
        DWORD written = 0;
        ok = WriteFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &written, nullptr) &&
             written == chunk.size();
    }
    CloseHandle(file);
    return ok;
}

// As staging reads a file: pieces of 4,096 bytes until a read yields nothing.
std::wstring DigestFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    kr::md5_context context;
    unsigned char piece[4096];
    DWORD read = 0;
    while (ReadFile(file, piece, sizeof(piece), &read, nullptr) && read)
        context.update(piece, read);
    CloseHandle(file);
    unsigned char digest[16];
    context.final(digest);
    return kr::md5_text(digest).c_str();
}

TEST(KrBench, Md5AgainstMd5sum)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring data = std::wstring(temp) + L"kr_md5_bench.bin";
    const std::wstring result = std::wstring(temp) + L"kr_md5_bench.txt";
    const std::string unix_data = UnixName(data);
    const std::string unix_result = UnixName(result);
    if (unix_data.empty())
        GTEST_SKIP() << "md5sum is reached through Wine's Unix side only";

    ASSERT_TRUE(WriteTestFile(data, 256ull << 20));
    DeleteFileW(result.c_str());

    const Stopwatch ours;
    const std::wstring digest = DigestFile(data);
    const double our_seconds = ours.Seconds();

    // Wine starts Unix programs but cannot wait for them: the result file
    // appears, renamed into place, when md5sum is done.
    std::wstring command = L"/bin/sh -c \"md5sum '" + std::wstring(unix_data.begin(), unix_data.end()) + L"' > '" +
                           std::wstring(unix_result.begin(), unix_result.end()) + L".tmp' && mv '" +
                           std::wstring(unix_result.begin(), unix_result.end()) + L".tmp' '" +
                           std::wstring(unix_result.begin(), unix_result.end()) + L"'\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const Stopwatch theirs;
    ASSERT_TRUE(CreateProcessW(L"/bin/sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    while (GetFileAttributesW(result.c_str()) == INVALID_FILE_ATTRIBUTES && theirs.Seconds() < 120)
        Sleep(1);
    const double their_seconds = theirs.Seconds();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    char line[128] = {};
    HANDLE file = CreateFileW(result.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD read = 0;
    ReadFile(file, line, 32, &read, nullptr);
    CloseHandle(file);
    DeleteFileW(result.c_str());
    DeleteFileW(data.c_str());

    EXPECT_EQ(_stringx(line, 32), _stringx(digest.c_str()));
    const double mib = 256.0;
    std::printf("MD5 of 256 MiB: kr %.3f s (%.1f MiB/s), md5sum %.3f s (%.1f MiB/s), ratio kr/md5sum time %.2f\n",
                our_seconds, mib / our_seconds, their_seconds, mib / their_seconds, our_seconds / their_seconds);
    RecordProperty("md5_time_ratio", std::to_string(our_seconds / their_seconds));
}

std::wstring MegabyteText(wchar_t first, wchar_t second)
{
    std::wstring text;
    text.reserve(1 << 20);
    for (size_t i = 0; text.size() < (1u << 20); ++i)
        text += (i % 7 == 0) ? first : second;
    return text;
}

TEST(KrBench, StringCompareOnOneMegabyte)
{
    const _stringx lower(MegabyteText(L'a', L'x').c_str());
    const _stringx upper(MegabyteText(L'A', L'X').c_str());
    const _wstringx exact_a(lower.c_str());
    const _wstringx exact_b(lower.c_str());
    const int rounds = 20;

    const Stopwatch nocase;
    int equal = 0;
    for (int i = 0; i < rounds; ++i)
        equal += lower.compare(upper) == 0;
    const double nocase_seconds = nocase.Seconds();

    const Stopwatch exact;
    for (int i = 0; i < rounds; ++i)
        equal += exact_a.compare(exact_b) == 0;
    const double exact_seconds = exact.Seconds();

    EXPECT_EQ(equal, 2 * rounds);
    std::printf("compare of 1 MB texts: case-insensitive %.2f ms, exact %.2f ms\n",
                nocase_seconds * 1000 / rounds, exact_seconds * 1000 / rounds);
}

TEST(KrBench, ReplaceAllOnOneMegabyte)
{
    const std::wstring source = MegabyteText(L'a', L'x');
    const int rounds = 5;
    size_t replaced = 0;

    const Stopwatch nocase;
    for (int i = 0; i < rounds; ++i) {
        _stringx text(source.c_str());
        replaced += text.replace_all(L"A", L"[b]");
    }
    const double nocase_seconds = nocase.Seconds();

    const Stopwatch exact;
    for (int i = 0; i < rounds; ++i) {
        _wstringx text(source.c_str());
        replaced += text.replace_all(L"a", L"[b]");
    }
    const double exact_seconds = exact.Seconds();

    const size_t per_round = (source.size() + 6) / 7;
    EXPECT_EQ(replaced, 2 * rounds * per_round);
    std::printf("replace_all on 1 MB (%lu replacements): case-insensitive %.2f ms, exact %.2f ms\n", static_cast<unsigned long>(per_round),
                nocase_seconds * 1000 / rounds, exact_seconds * 1000 / rounds);
}

} // namespace
