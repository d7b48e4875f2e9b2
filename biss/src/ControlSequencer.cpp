// The control channel run in software: one control bit to the slaves and one
// back in every frame. The send step picks the instruction (and with it the
// bit) for the next frame, the receive step checks or collects the bit the
// slave returned.
#include "BissMaster.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

using Op = ControlSequenceState;

// Request frames 0-15: start and CTS, slave id, address, inverted CRC.
constexpr uint8_t kFirstIdFrame = 2;
constexpr uint8_t kFirstAddressFrame = 5;
constexpr uint8_t kLastAddressFrame = 11;
constexpr uint8_t kFirstCrcFrame = 12;
constexpr uint8_t kFirstAnswerFrame = 16;
// The slave's start bit comes in frame 19; it is asked for again at most this often.
constexpr uint8_t kStartFrame = 19;
constexpr uint8_t kStartRetries = 100;
constexpr uint8_t kLastReadFrame = 33;
constexpr uint8_t kLastByteFrame = 31;  // with more bytes following
constexpr uint8_t kLastWriteFrame = 45;

constexpr uint8_t Send(bool bit) { return bit ? instruction::kControlOne : instruction::kDataFrame; }
// CRC bits go out inverted.
constexpr uint8_t SendInverted(char crcBit)
{
    return crcBit == '1' ? instruction::kDataFrame : instruction::kControlOne;
}
constexpr char Text(bool bit) { return bit ? '1' : '0'; }

} // namespace

void BissMasterClass::ResetControlSequence()
{
    control_.operation = Op::kNone;
    controlAccessPending_ = 0;
}

void BissMasterClass::ControlSendStep(uint32_t flags, uint8_t slave, uint8_t address, uint8_t value,
                                      uint8_t *instructionOut, uint8_t *received, uint8_t *done)
{
    if ((flags & 3u) != 0) {
        control_.operation = static_cast<uint8_t>(flags & 3u);
        control_.lastOperation = control_.operation;
        control_.slaveId = slave;
        control_.address = address;
        control_.data = control_.operation == Op::kWrite ? value : 0;
        control_.frameCounter = (flags & kContinue) != 0 ? 18 : 0;
        control_.requestText.assign(11, '0');
        control_.receivedCrcText.assign(4, '0');
        control_.crcText.assign(4, '0');
        retryCount_ = 0;
        controlDone_ = 0;
    }
    *instructionOut = instruction::kDataFrame;
    *received = control_.data;
    *done = controlDone_;
    control_.lastFrame = false;
    if (control_.operation == Op::kNone)
        return;

    const uint8_t k = control_.frameCounter;
    const bool moreBytes = (flags & kMoreBytes) != 0;
    uint8_t sent = instruction::kDataFrame;
    std::string &request = control_.requestText;
    if (k < kFirstIdFrame) {
        sent = instruction::kControlOne;
        request[10] = '1';
    } else if (k < kFirstAddressFrame) {
        const bool bit = (control_.slaveId >> 2) & 1u;
        sent = Send(bit);
        request[11 - k] = Text(bit);
        control_.slaveId = static_cast<uint8_t>(control_.slaveId << 1);
    } else if (k <= kLastAddressFrame) {
        const bool bit = (control_.address >> 6) & 1u;
        sent = Send(bit);
        request[11 - k] = Text(bit);
        control_.address = static_cast<uint8_t>(control_.address << 1);
        if (k == kLastAddressFrame)
            control_.crcText = ControlCrc(request);
    } else if (k < kFirstAnswerFrame) {
        sent = SendInverted(control_.crcText[15 - k]);
    } else if (control_.operation == Op::kRead) {
        switch (k) {
        case 16: sent = instruction::kControlOne; break;
        case 17: control_.expectedBit = 1; break;
        case 18: sent = instruction::kControlOne; control_.expectedBit = 0; break;
        case kStartFrame: sent = instruction::kControlStart; control_.expectedBit = 1; break;
        default: control_.expectedBit = 1; break;
        }
        control_.lastFrame = k == kLastReadFrame || (k == kLastByteFrame && moreBytes);
    } else {
        // Data bits are taken by their index, so a repeated frame 19 sends bit 7 again.
        const auto dataBit = [this](int bit) { return ((control_.data >> bit) & 1u) != 0; };
        const std::string &crc = control_.crcText;
        if (k == 16) {
            sent = instruction::kDataFrame;
        } else if (k == 17) {
            sent = instruction::kControlOne;
            control_.expectedBit = 0;
        } else if (k == 18) {
            sent = instruction::kControlOne;
            control_.expectedBit = (flags & kContinue) != 0 ? 0 : 1;
        } else if (k == kStartFrame) {
            sent = dataBit(7) ? instruction::kControlOne : instruction::kControlStart;
            request[7] = Text(dataBit(7));
            control_.expectedBit = 1;
        } else if (k <= 26) {
            const int bit = 26 - k;
            sent = Send(dataBit(bit));
            request[static_cast<size_t>(bit)] = Text(dataBit(bit));
            control_.expectedBit = dataBit(bit + 1);
            if (k == 26)
                control_.crcText = ControlCrc(request.substr(0, 8));
        } else if (k <= 30) {
            sent = SendInverted(crc[static_cast<size_t>(30 - k)]);
            control_.expectedBit = k == 27 ? dataBit(0) : crc[static_cast<size_t>(31 - k)] != '1';
        } else if (k == kLastByteFrame) {
            control_.expectedBit = crc[0] != '1';
        } else {
            control_.expectedBit = 0;
        }
        control_.lastFrame = k == kLastWriteFrame || (k == kLastByteFrame && moreBytes);
    }
    *instructionOut = sent;
    control_.frameCounter = static_cast<uint8_t>(k + 1);
}

int BissMasterClass::ControlReceiveStep(bool bit, uint32_t moreBytes, uint8_t *received, uint8_t *done)
{
    const auto finish = [&] {
        controlDone_ = 1;
        control_.operation = Op::kNone;
        *received = control_.data;
        *done = 1;
    };
    const auto fail = [&](int code) {
        control_.operation = Op::kNone;
        return code;
    };
    if (control_.operation == Op::kNone || params_.Com(eBISS_CP_PROTOCOL) == 2 ||
        params_.Com(eBISS_CP_SSI_WRITE) != 0)
        return eBISS_NO_ERROR;
    const uint8_t c = control_.frameCounter;
    if (c < 18 || c > 33)
        return eBISS_NO_ERROR;
    const bool expected = control_.expectedBit != 0;

    // The slave has not given its start bit yet: frame 19 goes out again.
    const auto retryStart = [&] {
        if (retryCount_ >= kStartRetries)
            return fail(eBISS_REGISTER_REJECTED);
        control_.frameCounter = kStartFrame;
        control_.lastFrame = false;
        if (params_.Com(eBISS_CP_DISABLE_TIMEOUT) == 0)
            ++retryCount_;
        return static_cast<int>(eBISS_NO_ERROR);
    };

    if (control_.operation == Op::kRead) {
        if (c <= 20 && bit != expected) {
            if (c == 20)
                return retryStart();
            return fail(c == 19 ? eBISS_REGISTER_REJECTED : eBISS_REGISTER_COMM_FAILED);
        }
        if (c >= 21 && c <= 28) {
            control_.data = static_cast<uint8_t>(control_.data * 2 + (bit ? 1 : 0));
            control_.requestText[static_cast<size_t>(28 - c)] = Text(bit);
        } else if (c >= 29 && c <= 32) {
            control_.receivedCrcText[static_cast<size_t>(32 - c)] = Text(!bit);
        }
        if (c == 32) {
            if (ControlCrc(control_.requestText.substr(0, 8)) != control_.receivedCrcText)
                return fail(eBISS_REGISTER_COMM_FAILED);
            if (moreBytes != 0)
                finish();
        }
        return eBISS_NO_ERROR;
    }

    if (bit == expected || c == 33)
        return eBISS_NO_ERROR;
    if (c == 20)
        return retryStart();
    return fail(c == 19 ? eBISS_REGISTER_REJECTED : eBISS_REGISTER_COMM_FAILED);
}

int BissMasterClass::RunControlFrame(uint32_t flags, uint8_t slave, uint8_t address, uint8_t value,
                                     uint32_t moreBytes, uint8_t *received, uint8_t *done, BISS_U32 high[],
                                     BISS_U32 low[], BISS_U32 *crcOkMask, bool *delivered)
{
    uint8_t sent = instruction::kDataFrame;
    ControlSendStep(flags, slave, address, value, &sent, received, done);
    BISS_U32 bit = 0;
    const int cycle = RunFrameCycle(high, low, crcOkMask, sent, &bit, delivered);
    if (cycle != eBISS_NO_ERROR) {
        ResetControlSequence();
        return cycle;
    }
    const int result = ControlReceiveStep(bit != 0, moreBytes, received, done);
    if (result == eBISS_NO_ERROR && control_.lastFrame && control_.operation != Op::kNone) {
        controlDone_ = 1;
        control_.operation = Op::kNone;
    }
    *received = control_.data;
    *done = controlDone_;
    return result;
}

} // namespace ferrolink
