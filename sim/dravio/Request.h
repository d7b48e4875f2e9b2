// A handle the simulated driver handed out and a request submitted on it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "SimDevice.h"

namespace dravio::sim {

struct SimHandle {
    HANDLE value;          // a real event the simulation owns: no real handle can share its value
    uint32_t id;
    std::shared_ptr<SimDevice> device;
    bool overlapped;
    bool closed = false;
};

enum class RequestKind { Read, Write, Control };

struct Request {
    uint32_t id;
    RequestKind kind;
    std::shared_ptr<SimHandle> handle;
    DWORD thread;
    uint8_t endpoint = 0;
    uint32_t code = 0;
    bool isochronous = false;
    uint16_t maxPacketSize = 0;
    uint8_t *buffer = nullptr;       // the caller's memory: read target, write source or control output
    uint32_t length = 0;
    OVERLAPPED *overlapped = nullptr;

    // Decided at submission (a control request's answer, an injected failure),
    // given to the caller at completion.
    bool decided = false;
    bool completed = false;
    uint32_t status = 0;
    std::vector<uint8_t> output;
    uint32_t bytesReturned = 0;
};

} // namespace dravio::sim
