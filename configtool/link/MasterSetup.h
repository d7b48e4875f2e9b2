// Opening the adapter, writing the master configuration for the current protocol and starting
// BiSS communication. Each returns 0 or the first non-zero code, which also stays in the last error.
#pragma once

#include <cstdint>

#include "ferrolink.h"

// Opens a handle unless one is open or the link is connected, sets the SCD clock divider and,
// unless connected, selects the interface type.
int ConnectInterface(BISS_U32 *handle, std::uint16_t interfaceType, std::uint16_t scdClockDivider);

// Channel, CRC, frame length, protocol and clocks, then the write to the master.
int ConfigParams(BISS_U32 handle, BISS_U32 channel, std::int32_t protocol, std::uint16_t frameLength,
                 std::uint16_t crcPolynomial, std::uint16_t crcInversion);

// Brings the link up, or only reconfigures the master while it is connected.
int ConfigInterface();
