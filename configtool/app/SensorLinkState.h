// The tool's side of the ferrolink boundary as far as start-up and the program's end need it: the
// link state with its reset values, the interface type and closing the handle.
#pragma once

#include <cstdint>

#include "ferrolink.h"

enum LinkProtocol { kProtocolBiss = 0, kProtocolSsi = 2 };

struct SensorLinkState {
    BISS_U32 handle = 0;                 // from BISS_Open; 0 = not open
    std::int32_t lastError = 0;          // code of the latest ferrolink call or link operation
    std::uint16_t interfaceType = 5;     // the USB adapter of the generic USB driver
    std::uint8_t connected = 0;
    std::uint8_t communicationReady = 0;
    std::int32_t protocol = kProtocolBiss;
    std::int32_t savedProtocol = kProtocolBiss;
    std::uint8_t switchedToBiss = 0;
    std::uint16_t frameLength = 40;
    std::uint8_t ssiFrameType = 0;
    std::uint16_t scdClockDivider = 1;
    std::uint16_t registerClockValue = 8;
    std::uint16_t agsDivider = 124;
    std::uint16_t crcPolynomial = 0;
    std::uint16_t crcInversion = 0;
};

extern SensorLinkState g_link;

// Connected, communication-ready and switched flags, protocols, frame length and the three clock
// values back to their reset values; the handle stays as it is.
void ResetLinkSettings();

void SetInterfaceTool();
// BISS_Close for an open handle (0 on success); its code becomes the last error.
int CloseInterface(BISS_U32 *handle);
