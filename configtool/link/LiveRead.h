// One cycle of the live read: the single-cycle data of the encoder and, in BiSS mode, its error
// byte (register 0x48) fetched over the control channel alongside.
#pragma once

#include <cstdint>

#include "ferrolink.h"

struct ScdState {
    // Entry 0 = channel 0; room for every channel ferrolink may hand out.
    BISS_U32 high[BISS_MAX_CHANNELS] = {};
    BISS_U32 low[BISS_MAX_CHANNELS] = {};
    BISS_U32 crcStatus = 0;
    BISS_U32 controlDone = 0;     // the carried control access has completed
    BISS_U32 errorByte = 0;       // bits 0-7
    std::uint8_t errorReadPending = 0;
};

extern ScdState g_scd;

// The live monitor that shows what a cycle read: whether reading is on, the decoding of g_scd
// and the error-bit display (selector 26 for the live error byte).
struct LiveReadDisplay {
    bool (*readingOn)() = nullptr;
    void (*printScdData)() = nullptr;
    void (*printErrorByte)(std::uint16_t which) = nullptr;
};

void SetLiveReadDisplay(const LiveReadDisplay &display);

// With reading off, 0 and no bus access. Returns 0 or the first non-zero code.
int ReadSCDData();
// ReadSCDData, its result kept in the last error.
int StartSensorRead();
