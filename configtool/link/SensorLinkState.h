// The tool's side of the ferrolink boundary: the one BiSS handle, the master configuration the
// tool writes for the current protocol, and the last error that every caller tests.
#pragma once

#include <cstdint>

#include "ferrolink.h"

enum LinkProtocol { kProtocolBiss = 0, kProtocolSsi = 2 };

// The encoder is always slave 0 on data channel 0.
inline constexpr BISS_U32 kEncoderSlave = 0;
inline constexpr BISS_U32 kEncoderChannel = 0;

struct SensorLinkState {
    BISS_U32 handle = 0;                 // from BISS_Open; 0 = not open
    std::int32_t lastError = 0;          // code of the latest ferrolink call or link operation
    std::uint16_t interfaceType = eBISS_IF_DRAVIO_A;
    std::uint8_t connected = 0;          // BiSS communication started: no second open, selection or start-up
    std::uint8_t communicationReady = 0;
    std::int32_t protocol = kProtocolBiss;
    std::int32_t savedProtocol = kProtocolBiss;  // protocol of the previous configuration while switched
    std::uint8_t switchedToBiss = 0;     // an SSI encoder temporarily switched to BiSS
    std::uint16_t frameLength = 40;      // SCD length of channel 0 in bits
    std::uint8_t ssiFrameType = 0;       // 0-3: what follows the SSI word
    std::uint16_t scdClockDivider = 1;
    std::uint16_t registerClockValue = 8;
    std::uint16_t agsDivider = 124;
    std::uint16_t crcPolynomial = 0;     // no CRC
    std::uint16_t crcInversion = 0;
};

extern SensorLinkState g_link;

// Connected, communication-ready and switched flags, protocols, frame length and the three clock
// values back to their reset values; the handle stays as it is.
void ResetLinkSettings();

void SetInterfaceTool();
// BISS_Close for an open handle (0 on success); its code becomes the last error.
int CloseInterface(BISS_U32 *handle);
