// The single-cycle data a Kelto encoder sends, as values of `bits` bits
// whose most significant bit leaves first.
//
// BiSS, 40 bits: the 32-bit position word in bits 8-39, nE in bit 7, nW in
// bit 6 (both 0 = active), and in bits 0-5 the inverted CRC-6 (x^6 + x + 1)
// over bits 6-39. The 54-bit frame is that frame followed by 14 diagnosis
// bits: VEF in bits 10-13, the second VEF value in bits 6-9 and the inverted
// CRC-6 over those eight bits in bits 0-5; a master reading only 40 bits
// gets the 40-bit frame.
//
// SSI, L = 24, 25, 26 or 32 bits: the position in the low W bits (W = L - 2,
// or 28 for 32 bits), the error flag in bit L - 1 (1 = error), then what the
// SSI frame type appends below: 1 the 8-bit raw VEF, 2 the raw VEF and the
// error byte, 3 both 4-bit VEF values and the error byte.
#pragma once

#include <cstdint>

namespace sim::kelto {

struct ScdFrame {
    unsigned bits = 0;
    uint64_t data = 0;
};

struct Diagnosis {
    uint8_t errorByte = 0;   // error:: bits
    uint8_t vef = 12;        // exactness factor, 4 bits
    uint8_t vefLow = 11;     // its second value, 4 bits
};

// length 40 or 54.
ScdFrame BissFrame(unsigned length, uint32_t word, const Diagnosis &diagnosis);

// The word of the calibration format: selected track in bit 31, the pole
// number in bits 16-30, the two signal values in bits 8-15 and 0-7.
uint32_t CalibrationWord(uint16_t pole, uint8_t first, uint8_t second);

struct SsiLayout {
    unsigned length = 24;    // 24, 25, 26 or 32
    unsigned frameType = 0;  // 0-3
    bool gray = false;
};

// position: the count; only its low W bits are sent.
ScdFrame SsiFrame(const SsiLayout &layout, uint32_t position, const Diagnosis &diagnosis);

// The SSI length for bits 4-5 of the output byte.
unsigned SsiLength(uint8_t outputByte);

// The 8-bit raw VEF from which the monitor's division by 6.66 gives the
// 4-bit value back.
uint8_t RawVef(uint8_t vef);

} // namespace sim::kelto
