// A simulated driver with one adapter-like device, and the calls a client of
// the driver makes, all through the seam table.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/dravio/SimDriver.h"

namespace dravio::sim::test {

// {4B104F5C-324B-49B4-8259-B4C4DB419C9B} and {D5856444-1898-4B27-9993-BD9CD10114A2}
constexpr GUID kClassA = {0x4B104F5C, 0x324B, 0x49B4, {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
constexpr GUID kClassB = {0xD5856444, 0x1898, 0x4B27, {0x99, 0x93, 0xBD, 0x9C, 0xD1, 0x01, 0x14, 0xA2}};

struct IoResult {
    BOOL ok;
    DWORD error;
    DWORD bytes;
};

// An overlapped request with its own manual-reset event.
struct Overlapped {
    OVERLAPPED ov{};
    Overlapped() { ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Overlapped() { CloseHandle(ov.hEvent); }
    Overlapped(const Overlapped &) = delete;
    Overlapped &operator=(const Overlapped &) = delete;
    bool Signalled() const { return WaitForSingleObject(ov.hEvent, 0) == WAIT_OBJECT_0; }
};

class SimFixture : public ::testing::Test {
protected:
    SimFixture() : seam(sim.Seam()) {}

    void SetUp() override { device = AddDevice(kClassA, L"VT-0042"); }

    void TearDown() override
    {
        for (HANDLE h : opened)
            seam.CloseHandle(h);
    }

    uint32_t AddDevice(const GUID &interfaceClass, const wchar_t *serial, int32_t number = -1)
    {
        DeviceSetup setup{};
        setup.interfaceClass = interfaceClass;
        setup.serialNumber = serial;
        setup.number = number;
        uint32_t n = 0;
        EXPECT_EQ(0u, sim.AddDevice(setup, &n));
        return n;
    }

    HANDLE Open(uint32_t number)
    {
        const std::wstring name = L"\\\\.\\Dravio_Device" + std::to_wstring(number);
        HANDLE h = seam.CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            opened.push_back(h);
        return h;
    }

    void Close(HANDLE h)
    {
        std::erase(opened, h);
        EXPECT_TRUE(seam.CloseHandle(h));
    }

    // A control request the way the class library sends it: overlapped,
    // waiting for a pending answer.
    IoResult Control(HANDLE h, DWORD code, const void *in, DWORD inLength, void *out, DWORD outLength)
    {
        Overlapped o;
        DWORD bytes = 0xFFFFFFFF;
        BOOL ok = seam.DeviceIoControl(h, code, const_cast<void *>(in), inLength, out, outLength, &bytes, &o.ov);
        DWORD error = ok ? 0 : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            ok = GetOverlappedResult(h, &o.ov, &bytes, TRUE);
            error = ok ? 0 : GetLastError();
        }
        return {ok, error, bytes};
    }

    template <class Record>
    IoResult Send(HANDLE h, DWORD code, const Record &record)
    {
        return Control(h, code, &record, sizeof record, nullptr, 0);
    }

    // Configures interface 0 with the alternate setting given.
    void Configure(HANDLE h, uint16_t alternateSetting = 1)
    {
        uint8_t request[260]{};
        request[2] = 1;
        request[6] = uint8_t(alternateSetting);
        request[9] = 0x80;   // maximum transfer size 0x8000
        ASSERT_EQ(0u, Control(h, 0x80942024, request, sizeof request, nullptr, 0).error);
    }

    HANDLE BoundPipe(uint32_t number, uint8_t endpoint)
    {
        HANDLE h = Open(number);
        EXPECT_EQ(0u, Control(h, 0x80942078, &endpoint, 1, nullptr, 0).error);
        return h;
    }

    IoResult Transfer(HANDLE h, bool write, void *data, DWORD length, DWORD timeout = 1000)
    {
        Overlapped o;
        DWORD bytes = 0;
        BOOL ok = write ? seam.WriteFile(h, data, length, &bytes, &o.ov) : seam.ReadFile(h, data, length, &bytes, &o.ov);
        DWORD error = ok ? 0 : GetLastError();
        if (!ok && error == ERROR_IO_PENDING) {
            if (WaitForSingleObject(o.ov.hEvent, timeout) != WAIT_OBJECT_0) {
                seam.CancelIo(h);
                WaitForSingleObject(o.ov.hEvent, INFINITE);
            }
            ok = GetOverlappedResult(h, &o.ov, &bytes, FALSE);
            error = ok ? 0 : GetLastError();
        }
        return {ok, error, bytes};
    }

    std::vector<LogEntry> Log()
    {
        std::vector<LogEntry> entries(sim.CopyLog(nullptr, 0));
        const uint32_t held = sim.CopyLog(entries.data(), uint32_t(entries.size()));
        entries.resize(std::min<size_t>(held, entries.size()));
        return entries;
    }

    SimDriver sim;
    const DriverSeam &seam;
    uint32_t device = 0;
    std::vector<HANDLE> opened;
};

} // namespace dravio::sim::test
