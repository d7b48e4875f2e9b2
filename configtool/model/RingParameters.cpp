#include "RingParameters.h"

#include "FieldPacking.h"
#include "RegisterFields.h"

#include <array>
#include <vector>

namespace calvista {
namespace {

constexpr int kShortestCode = 6;
constexpr int kLongestCode = 15;
constexpr std::uint32_t kNewestBit = 0x80000000u;
constexpr std::uint32_t kCalibrationPositionFormat = 7;

// Legacy PRC_BIT_NUM_REG codes for n = 6..15.
constexpr std::array<std::uint8_t, 10> kLegacyCodes{0, 8, 4, 0, 2, 0, 0, 0, 0, 1};

// Feedback taps for n = 6..15, as bit numbers of the state word. The register of n bits occupies
// bits 31 down to 32 - n; bit 31 holds the newest bit.
constexpr std::array<std::uint32_t, 10> kTapMasks{
    (1u << 26) | (1u << 27),
    (1u << 25) | (1u << 26),
    (1u << 24) | (1u << 26) | (1u << 27) | (1u << 28),
    (1u << 23) | (1u << 27),
    (1u << 22) | (1u << 25),
    (1u << 21) | (1u << 23),
    (1u << 20) | (1u << 26) | (1u << 28) | (1u << 31),
    (1u << 19) | (1u << 28) | (1u << 29) | (1u << 31),
    (1u << 18) | (1u << 27) | (1u << 29) | (1u << 31),
    (1u << 17) | (1u << 18),
};

bool Parity(std::uint32_t x)
{
    x ^= x >> 16;
    x ^= x >> 8;
    x ^= x >> 4;
    x ^= x >> 2;
    x ^= x >> 1;
    return (x & 1u) != 0;
}

class PrcRegister {
public:
    explicit PrcRegister(int n) : n_(n), taps_(kTapMasks[static_cast<std::size_t>(n - kShortestCode)]) {}

    std::uint32_t Step(std::uint32_t state, bool inverted) const
    {
        std::uint32_t next = RotateArrayRight(state) & ~kNewestBit & ~(1u << (31 - n_));
        const bool feedback = Parity(state & taps_) != inverted;
        return feedback ? next | kNewestBit : next;
    }

    // The states' order along the register's one cycle of 2^n - 1 non-zero states, so that the
    // number of plain steps between two states is a subtraction.
    std::vector<std::uint32_t> CyclePositions() const
    {
        const std::uint32_t period = Period();
        std::vector<std::uint32_t> position(std::size_t{1} << n_, 0);
        std::uint32_t state = kNewestBit;
        for (std::uint32_t i = 0; i < period; ++i) {
            position[Index(state)] = i;
            state = Step(state, false);
        }
        return position;
    }

    std::uint32_t Period() const { return (1u << n_) - 1; }
    std::uint32_t Index(std::uint32_t state) const { return state >> (32 - n_); }

private:
    int n_;
    std::uint32_t taps_;
};

} // namespace

std::optional<PrcCodeLength> PrcCodeLengthFor(std::uint32_t poles)
{
    for (int n = kShortestCode; n <= kLongestCode; ++n) {
        if (poles <= (1u << n) - 2)
            return PrcCodeLength{static_cast<std::uint8_t>(n), kLegacyCodes[static_cast<std::size_t>(n - kShortestCode)]};
    }
    return std::nullopt;
}

std::uint32_t ReverseArray(std::uint32_t x)
{
    std::uint32_t reversed = 0;
    for (int i = 0; i < 32; ++i) {
        if ((x >> i) & 1u)
            reversed |= 1u << (31 - i);
    }
    return reversed;
}

std::uint32_t RotateArrayRight(std::uint32_t x)
{
    return (x >> 1) | (x << 31);
}

std::optional<std::uint32_t> Calc_PRC_Startval(int n, std::uint32_t count)
{
    if (n < kShortestCode || n > kLongestCode)
        return std::nullopt;
    const PrcRegister reg(n);
    if (count > reg.Period())
        return std::nullopt;

    // Start from d, take one inverted step, then plain steps until d comes round again: the
    // smallest k whose d = ReverseArray(k) closes after `count` states wins. Every d of k from 1
    // to 2^n - 1 lies on the plain cycle, so the count of each is read off the cycle positions.
    std::uint32_t start = 0;
    if (count != 0) {
        const std::vector<std::uint32_t> position = reg.CyclePositions();
        bool found = false;
        for (std::uint32_t k = 1; k <= reg.Period() && !found; ++k) {
            const std::uint32_t d = ReverseArray(k);
            std::uint32_t s = reg.Step(d, true);
            if (s == 0)
                s = kNewestBit;
            const std::uint32_t distance =
                (position[reg.Index(d)] + reg.Period() - position[reg.Index(s)]) % reg.Period();
            if (distance + 1 == count) {
                start = d;
                found = true;
            }
        }
        if (!found)
            return std::nullopt;
    }
    return reg.Step(start, true) >> (32 - n);
}

std::optional<RingParams> ComputeRingParams(std::uint32_t poleNum, std::int32_t firmwareNumber)
{
    const std::uint32_t poles = poleNum & ~1u;
    const auto length = PrcCodeLengthFor(poles);
    if (!length)
        return std::nullopt;
    const auto start = Calc_PRC_Startval(length->bits, poles);
    if (!start)
        return std::nullopt;

    RingParams params{};
    params.poles = static_cast<std::uint16_t>(poles);
    params.codeBits = length->bits;
    params.prcBitNumReg = firmwareNumber >= kFirmwareWithPlainBitCount ? length->bits : length->legacyCode;
    params.startValue = *start;
    return params;
}

void SetRingParamFields(const RingParams &params)
{
    SysRegField(SysField::NUM_OF_POLES_REG_H).value = params.poles >> 8;
    SysRegField(SysField::NUM_OF_POLES_REG_L).value = params.poles & 0xFF;
    SysRegField(SysField::START_PRC_REG_H).value = static_cast<std::int32_t>((params.startValue >> 8) & 0xFF);
    SysRegField(SysField::START_PRC_REG_L).value = static_cast<std::int32_t>(params.startValue & 0xFF);
    SysRegField(SysField::PRC_BIT_NUM_REG).value = params.prcBitNumReg;
    SysRegfieldsToCfgvector();
}

std::uint8_t WithCalibrationPositionFormat(std::uint8_t outputConfig)
{
    const RegField &format = SysRegField(SysField::POS_VALUE);
    const std::uint32_t mask = ((1u << format.bitlen) - 1) << format.bitpos;
    return static_cast<std::uint8_t>(outputConfig | ((kCalibrationPositionFormat << format.bitpos) & mask));
}

} // namespace calvista
