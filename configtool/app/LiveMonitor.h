// The position page's live monitor: READ_SENSORS starts and stops reading, READ_TIMER reads one
// single-cycle data word per tick, and what was read goes to the page's controls and graphs.
#pragma once

#include <cstdint>

inline constexpr std::uint16_t kLiveErrorByteSelector = 26;
inline constexpr std::uint16_t kStoredErrorByteSelector = 36;

// The stored error byte that the stored-error read fills (bits 0-7).
extern std::uint32_t g_storedErrorByte;

// Decodes the SCD the sensor link holds into the page and records it.
void PrintScdData();
// 26: the live error byte into the live LED column; 36: the stored error byte into the stored
// column; any other selector changes nothing.
void PrintErrorByte(std::uint16_t which);
