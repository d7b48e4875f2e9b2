#include "KeltoFrames.h"

#include "KeltoMemoryMap.h"

#include "BissCrc.h"

namespace sim::kelto {

namespace {

constexpr uint32_t kBissCrcPolynomial = 0x43;

uint64_t InvertedCrc6(uint64_t data, unsigned bits)
{
    return ~biss::ComputeCrc(data, bits, kBissCrcPolynomial, 0) & 0x3Fu;
}

} // namespace

ScdFrame BissFrame(unsigned length, uint32_t word, const Diagnosis &diagnosis)
{
    const bool error = (diagnosis.errorByte & error::kErrors) != 0;
    const bool warning = (diagnosis.errorByte & error::kWarnings) != 0;
    uint64_t head = static_cast<uint64_t>(word) << 2 | (error ? 0u : 2u) | (warning ? 0u : 1u);
    head = head << 6 | InvertedCrc6(head, 34);
    if (length != 54)
        return {40, head};
    const uint64_t vef = static_cast<uint64_t>(diagnosis.vef & 0xF) << 4 | (diagnosis.vefLow & 0xF);
    return {54, head << 14 | vef << 6 | InvertedCrc6(vef, 8)};
}

uint32_t CalibrationWord(uint16_t pole, uint8_t first, uint8_t second)
{
    return static_cast<uint32_t>(pole & 0x7FFF) << 16 | static_cast<uint32_t>(first) << 8 | second;
}

unsigned SsiLength(uint8_t outputByte)
{
    static constexpr unsigned kLengths[4] = {24, 25, 26, 32};
    return kLengths[(outputByte >> output::kSsiLengthShift) & 3u];
}

uint8_t RawVef(uint8_t vef)
{
    // 6.66 per step, rounded up so that truncating the quotient lands on the step.
    return static_cast<uint8_t>(((vef & 0xF) * 666 + 99) / 100);
}

ScdFrame SsiFrame(const SsiLayout &layout, uint32_t position, const Diagnosis &diagnosis)
{
    const unsigned width = layout.length == 32 ? 28 : layout.length - 2;
    uint64_t value = position & ((1u << width) - 1);
    if (layout.gray)
        value ^= value >> 1;
    const bool error = (diagnosis.errorByte & error::kErrors) != 0;
    const uint64_t word = value | (error ? 1ull << (layout.length - 1) : 0);
    switch (layout.frameType) {
    case 1:
        return {layout.length + 8, word << 8 | RawVef(diagnosis.vef)};
    case 2:
        return {layout.length + 16, word << 16 | static_cast<uint64_t>(RawVef(diagnosis.vef)) << 8 | diagnosis.errorByte};
    case 3:
        return {layout.length + 16, word << 16 | static_cast<uint64_t>(diagnosis.vef & 0xF) << 12 |
                                        static_cast<uint64_t>(diagnosis.vefLow & 0xF) << 8 | diagnosis.errorByte};
    default:
        return {layout.length, word};
    }
}

} // namespace sim::kelto
