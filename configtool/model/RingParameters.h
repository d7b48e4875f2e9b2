// Ring parameters of a rotary encoder: the number of poles P, the length n of the pseudo-random
// code (PRC) word on the ring, and the code's start value, which makes a shift register of n bits
// run through a cycle of exactly P states.
#pragma once

#include <cstdint>
#include <optional>

namespace calvista {

inline constexpr std::uint32_t kLargestPoleCount = 32766;
// Firmware from this number on takes the code length itself in PRC_BIT_NUM_REG, older firmware
// a legacy code.
inline constexpr std::int32_t kFirmwareWithPlainBitCount = 300000;

struct PrcCodeLength {
    std::uint8_t bits;        // n, 6-15
    std::uint8_t legacyCode;  // what older firmware expects in PRC_BIT_NUM_REG
};

// The shortest code (at least 6 bits) with P <= 2^n - 2; none above 32766 poles.
std::optional<PrcCodeLength> PrcCodeLengthFor(std::uint32_t poles);

// Bit i of x becomes bit 31 - i.
std::uint32_t ReverseArray(std::uint32_t x);

// Bits 1-31 of x move to bits 0-30; bit 0 goes to bit 31.
std::uint32_t RotateArrayRight(std::uint32_t x);

// The start value (n bits) whose register, with one inverted feedback step, runs through `count`
// states. None for n outside 6-15 or a count no register of n bits can run (above 2^n - 1).
std::optional<std::uint32_t> Calc_PRC_Startval(int n, std::uint32_t count);

// Everything the ring calculation writes into the system block.
struct RingParams {
    std::uint16_t poles;           // P, made even
    std::uint8_t codeBits;         // n
    std::uint8_t prcBitNumReg;     // n, or the legacy code for older firmware
    std::uint32_t startValue;
};

// From the pole count the operator typed (an odd count is taken one lower) and the encoder's
// firmware number; none above 32766 poles.
std::optional<RingParams> ComputeRingParams(std::uint32_t poleNum, std::int32_t firmwareNumber);

// Puts the ring parameters into NUM_OF_POLES_REG_H/_L, START_PRC_REG_H/_L and PRC_BIT_NUM_REG and
// packs the system block, so image cells 0-4 hold them.
void SetRingParamFields(const RingParams &params);

// The RAM byte at 0x11 with POS_VALUE set to 7, the raw position format of the calibration run;
// its other bits are kept.
std::uint8_t WithCalibrationPositionFormat(std::uint8_t outputConfig);

} // namespace calvista
