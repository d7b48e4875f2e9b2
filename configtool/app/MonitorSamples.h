// The live monitor's record: every position read while reading runs, the VEF read with it, and
// the colour of the VEF plot. CLR_GRAPHS_CB (the resource's callback of TAB_POS CLR_GRAPHS)
// clears the record and both graphs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kMonitorSampleCapacity = 100000;
inline constexpr std::uint32_t kVefPlotBlue = 0x0000FF;

extern std::array<std::int32_t, kMonitorSampleCapacity> PositionSamples;
extern std::array<std::uint8_t, kMonitorSampleCapacity> VefSamples;
extern std::uint32_t SampleCount;   // samples recorded; index of the next free entry
extern std::uint32_t VefPlotColour; // 0xRRGGBB
