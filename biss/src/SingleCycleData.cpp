// Reading the single-cycle data of all configured channels: one frame cycle,
// the CRC check in software for channels whose CRC the master cannot check,
// and the one-byte control access that successive reads can carry.
#include <array>

#include "BissMaster.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kMaxSlots = 8;

} // namespace

std::string BissMasterClass::BitsToText(uint64_t value, uint32_t bitCount)
{
    std::string text(bitCount, '0');
    for (uint32_t bit = 0; bit < bitCount && bit < 64; ++bit)
        if ((value >> bit) & 1u)
            text[bit] = '1';
    return text;
}

std::string BissMasterClass::CrcOfBitText(const std::string &data, const std::string &polynomial,
                                          const std::string &start)
{
    if (polynomial.size() < 2)
        return {};
    const size_t width = polynomial.size() - 1;
    std::string reg = start.size() == width ? start : std::string(width, '0');
    // Data bits from the most significant (highest index) down; no final inversion.
    for (size_t i = data.size(); i-- > 0;) {
        const bool feedback = (data[i] == '1') != (reg[width - 1] == '1');
        for (size_t k = width - 1; k >= 1; --k) {
            const bool tap = polynomial[k] == '1' && feedback;
            reg[k] = (reg[k - 1] == '1') != tap ? '1' : '0';
        }
        reg[0] = feedback ? '1' : '0';
    }
    return reg;
}

std::string BissMasterClass::ControlCrc(const std::string &bits)
{
    // x^4 + x + 1, bit 0 first.
    return CrcOfBitText(bits, "11001", "0000");
}

int BissMasterClass::ReadScd(BISS_U32 high[], BISS_U32 low[], BISS_U32 *crcOkMask, uint32_t withControl,
                             BISS_U32 *controlDone)
{
    if (interfaceType_ == eBISS_IF_NONE)
        return eBISS_NO_INTERFACE;
    if (controlDone != nullptr)
        *controlDone = 0;
    std::array<BISS_U32, kMaxSlots> slotHigh{}, slotLow{};
    BISS_U32 mask = 0;
    bool delivered = false;
    int result;
    if (withControl != 0 || controlAccessPending_) {
        result = ReadScdWithControl(withControl, controlDone, slotHigh.data(), slotLow.data(), &mask, &delivered);
    } else {
        result = RunFrameCycle(slotHigh.data(), slotLow.data(), &mask, instruction::kDataFrame, nullptr, &delivered);
    }

    const uint32_t slots = SlotCount();
    const bool split = splitSlot_ >= 0 && static_cast<uint32_t>(splitSlot_) < slots;
    // Only data that arrived is checked: a failed cycle keeps its own code.
    for (uint32_t slot = 0; delivered && slot < slots; ++slot) {
        const uint32_t poly = params_.Frame(slot, eBISS_FP_CRC_POLY);
        const uint32_t start = params_.Frame(slot, eBISS_FP_CRC_START);
        const uint32_t length = params_.Frame(slot, eBISS_FP_SCD_LENGTH);
        const uint32_t crcBits = CrcLength(poly);
        if (crcBits == 0 || (start == 0 && crcBits < 8))
            continue;  // no CRC, or the master checked it
        // A channel the master reported invalid stays invalid.
        if ((mask & (1u << slot)) == 0)
            continue;
        const bool beforeSplitSlot = split && slot + 1 == static_cast<uint32_t>(splitSlot_);
        BitValueClass value(slotHigh[slot], slotLow[slot]);
        const BitValueClass &crcSource = beforeSplitSlot ? scdValues_[slot + 1] : value;
        const uint32_t received = crcSource.GetBitsLow(static_cast<int>(crcBits) - 1, static_cast<int>(crcBits));
        if (!beforeSplitSlot)
            value.ShiftRight(static_cast<int>(crcBits));
        slotHigh[slot] = value.GetHigh();
        slotLow[slot] = value.GetLow();
        scdValues_[slot] = value;

        const uint32_t dataBits = length > crcBits ? length - crcBits : 0;
        const uint64_t data = (static_cast<uint64_t>(value.GetHigh()) << 32) | value.GetLow();
        const std::string crc =
            CrcOfBitText(BitsToText(data, dataBits), BitsToText(poly, crcBits + 1), BitsToText(start, crcBits));
        // The slave sends the complement of its CRC.
        const uint32_t allOnes = crcBits >= 32 ? 0xFFFFFFFFu : (1u << crcBits) - 1;
        if (crc == BitsToText(allOnes - received, crcBits)) {
            mask |= 1u << slot;
        } else {
            mask &= ~(1u << slot);
            if (result == eBISS_NO_ERROR)
                result = eBISS_FRAME_FAILED;
        }
    }

    // The split slot is not handed out: the channels after it move up one slot.
    // Eight channels and a split slot leave the last channel without a slot: it reads 0.
    for (uint32_t channel = 0; channel < configuredChannels_; ++channel) {
        const uint32_t slot = split && channel >= static_cast<uint32_t>(splitSlot_) ? channel + 1 : channel;
        high[channel] = slot < kMaxSlots ? slotHigh[slot] : 0;
        low[channel] = slot < kMaxSlots ? slotLow[slot] : 0;
    }
    *crcOkMask = mask & ((1u << slots) - 1);
    return result;
}

int BissMasterClass::ReadScdWithControl(uint32_t withControl, BISS_U32 *controlDone, BISS_U32 high[],
                                        BISS_U32 low[], BISS_U32 *crcOkMask, bool *delivered)
{
    uint8_t received = 0;
    uint8_t done = 0;
    int result;
    if (withControl != 0) {
        if (controlAccessPending_)
            InitBissComm();
        controlAccessPending_ = 1;
        const bool write = params_.Com(eBISS_CP_CTRL_WRITE) != 0;
        result = RunControlFrame(write ? kControlWrite : kControlRead,
                                 static_cast<uint8_t>(params_.Com(eBISS_CP_CTRL_SLAVE)),
                                 static_cast<uint8_t>(params_.Com(eBISS_CP_CTRL_ADDRESS)),
                                 static_cast<uint8_t>(params_.Com(eBISS_CP_CTRL_DATA) & 0xFF), 0, &received, &done,
                                 high, low, crcOkMask, delivered);
    } else {
        result = RunControlFrame(0, 0, 0, 0, 0, &received, &done, high, low, crcOkMask, delivered);
    }
    if (controlDone != nullptr)
        *controlDone = done;
    if (done || result != eBISS_NO_ERROR)
        controlAccessPending_ = 0;

    if (result == eBISS_BISS_COMM_FAILED) {
        const int stopped = WriteMasterRegister(reg::kInstruction, instruction::kStop);
        return stopped != eBISS_NO_ERROR ? stopped : result;
    }
    if (withControl == 0 && control_.lastOperation == ControlSequenceState::kRead) {
        if (result != eBISS_NO_ERROR) {
            params_.SetComParam(eBISS_CP_CTRL_DATA, 0);
            return eBISS_REGISTER_REJECTED;
        }
        params_.SetComParam(eBISS_CP_CTRL_DATA, control_.data);
        return eBISS_NO_ERROR;
    }
    return result;
}

} // namespace ferrolink
