// The main panel's status indicator: green while the encoder's single-cycle data says its data
// is good, red while it says otherwise.
#pragma once

#include <cstdint>

// From the SCD words of channel 0, read by the layout the link is configured for (frame length
// and SSI frame type). A layout without a status bit leaves the indicator as it is.
void ShowScdDataStatus(std::uint32_t low, std::uint32_t high);
