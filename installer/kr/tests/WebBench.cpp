// Download throughput: 256 MiB from the fixture's nginx on loopback through
// kr::copy_file (asynchronous WinINet, message pumping, growing pieces)
// against a plain synchronous InternetReadFile loop with 64 KiB reads, in the
// same run. It prints the ratio; nothing here asserts a speed.

#include "kr/copy_file.h"
#include "kr/internet_functions.h"
#include "kr/library_state.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "WebServer.h"

namespace {

double Seconds(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

ULONGLONG PlainDownload(const std::wstring& address)
{
    HINTERNET session = InternetOpenW(L"kr bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session)
        return 0;
    HINTERNET request = InternetOpenUrlW(session, address.c_str(), nullptr, 0, 0x80400100, 0);
    ULONGLONG total = 0;
    if (request) {
        std::vector<char> buffer(64 * 1024);
        DWORD read = 0;
        while (InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &read) && read)
            total += read;
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return total;
}

TEST(KrWebBench, CopyFileAgainstPlainReadLoop)
{
    WebServer server;
    ASSERT_TRUE(server.available()) << "KR_WEB_SERVER names no running fixture";
    TestFolder folder;
    const std::wstring address = server.Url(L"/range/big.bin?" + Wide(CaseTag()));
    const std::wstring target = folder / L"big.bin";

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    ASSERT_TRUE(kr::copy_file(_stringx(address.c_str()), _stringx(target.c_str()), kr::copy_chunk_size, false))
        << kr::last_result();
    const double ours = Seconds(start);
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ((ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow, 256ull << 20);
    DeleteFileW(target.c_str());

    QueryPerformanceCounter(&start);
    EXPECT_EQ(PlainDownload(address), 256ull << 20);
    const double plain = Seconds(start);

    std::printf("256 MiB over loopback: copy_file %.2f s (%.1f MiB/s), plain 64 KiB loop %.2f s (%.1f MiB/s), "
                "time ratio copy_file/plain %.2f\n",
                ours, 256 / ours, plain, 256 / plain, ours / plain);
    RecordProperty("download_time_ratio", std::to_string(ours / plain));
}

} // namespace
