// Round trips per second of request 9 (answered {50} at once) from the
// engine's end of the pipe to Tessarel.exe in proxy mode, against a bare pipe
// ping-pong of the same sizes between two threads, in the same run.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "LauncherProcess.h"
#include "parcels/ProxyHandler.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRun = std::chrono::milliseconds(1500);

template <class Trip>
double RoundTripsPerSecond(Trip trip)
{
    long count = 0;
    const auto start = Clock::now();
    while (Clock::now() - start < kRun) {
        trip();
        ++count;
    }
    return count / std::chrono::duration<double>(Clock::now() - start).count();
}

bool ReadAll(HANDLE pipe, void* bytes, DWORD size)
{
    DWORD done = 0;
    while (done < size) {
        DWORD read = 0;
        if (!ReadFile(pipe, static_cast<BYTE*>(bytes) + done, size - done, &read, nullptr) || !read)
            return false;
        done += read;
    }
    return true;
}

// The same bytes each way as a request 9 and its reply, with nothing in between.
double BarePingPong(DWORD data_size)
{
    const std::wstring name = L"\\\\.\\pipe\\kr-bench-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE server =
        CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    const HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const DWORD request_size = 16 + 20 + data_size;
    std::thread peer([&] {
        std::vector<BYTE> request(request_size);
        const DWORD reply[5] = {0xDE55ADFF, 0x80000001, 4, 0x55ADFFDE, 50};
        DWORD written = 0;
        while (ReadAll(server, request.data(), request_size))
            WriteFile(server, reply, sizeof(reply), &written, nullptr);
    });
    std::vector<BYTE> request(request_size);
    DWORD reply[5] = {};
    const double rate = RoundTripsPerSecond([&] {
        DWORD written = 0;
        WriteFile(client, request.data(), 16, &written, nullptr);
        WriteFile(client, request.data() + 16, request_size - 16, &written, nullptr);
        ReadAll(client, reply, 16);
        ReadAll(client, reply + 4, 4);
    });
    CloseHandle(client);
    peer.join();
    CloseHandle(server);
    return rate;
}

TEST(ProxyRoundTrip, Request9AgainstABarePipe)
{
    SetupFolder files(TESSAREL_EXE);
    ASSERT_TRUE(files.ready());
    const std::wstring id = L"{KR-BENCH-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    const HANDLE started = CreateEventW(nullptr, TRUE, FALSE, (L"KR_ProxyWaiter_" + id).c_str());
    const HANDLE pipe = CreateNamedPipeW((L"\\\\.\\pipe\\KREngine_" + id).c_str(), PIPE_ACCESS_DUPLEX,
                                         PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    std::wstring command_line = L"\"" + files.setup() + L"\" -KR_temp -embedded:" + id;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    CloseHandle(info.hThread);
    auto engine = std::make_unique<CProxyHandler>(pipe, info.hProcess);
    ASSERT_EQ(WaitForSingleObject(started, 20000), WAIT_OBJECT_0);
    ASSERT_EQ(engine->WaitForConnection(), 0u);
    ASSERT_EQ(engine->Handshake(), 0u);

    for (DWORD size : {16ul, 65536ul}) {
        const std::vector<BYTE> data(size, 0x5A);
        const double proxy = RoundTripsPerSecond([&] {
            EXPECT_EQ(engine->SendRequest(9, 0, data.data(), size, nullptr, 0), 50u);
        });
        const double bare = BarePingPong(size);
        std::printf("request 9 with %lu bytes: %.0f round trips/s through the proxy, %.0f over a bare pipe, "
                    "ratio %.2f\n", size, proxy, bare, proxy / bare);
        RecordProperty("round_trips_" + std::to_string(size), static_cast<int>(proxy));
        RecordProperty("bare_" + std::to_string(size), static_cast<int>(bare));
    }
    engine.reset();
    CloseHandle(started);
}

} // namespace
