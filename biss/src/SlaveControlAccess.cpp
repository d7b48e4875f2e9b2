// Slave registers in mode 0, the library's own control-channel access: handed
// to a master-assisted transfer where the adapter or chip offers one, else run
// bit by bit in software control frames.
#include <algorithm>
#include <array>

#include "BissMaster.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kUsbPiece = 64;
constexpr uint32_t kRecoveryFrames = 14;
constexpr uint32_t kMaxSlots = 8;
constexpr uint8_t kChipWithAssistedRam = 0x84;
constexpr uint8_t kSsiWriteSetup = 0xC1;
constexpr uint8_t kAssistedSetup = 0xC0;

enum class ControlRoad { UsbAdapter, MasterRam, SoftwareFrames };

bool IsUsbAdapter(uint32_t type) { return type == eBISS_IF_DRAVIO_A || type == eBISS_IF_DRAVIO_B; }

ControlRoad ChooseControlRoad(uint32_t interfaceType, uint32_t chipId)
{
    if (IsUsbAdapter(interfaceType))
        return ControlRoad::UsbAdapter;
    if (interfaceType == eBISS_IF_FTDI && chipId == kChipWithAssistedRam)
        return ControlRoad::MasterRam;
    return ControlRoad::SoftwareFrames;
}

// Moves count bytes in pieces of at most pieceSize, each at its own address;
// the first failing piece ends the transfer. The count becomes the bytes moved.
template <class Transfer>
int TransferInPieces(uint32_t pieceSize, uint8_t address, BISS_U32 *count, Transfer transfer)
{
    const uint32_t total = *count;
    pieceSize = std::max(pieceSize, 1u);
    uint32_t done = 0;
    int result = eBISS_NO_ERROR;
    while (done < total && result == eBISS_NO_ERROR) {
        BISS_U32 piece = std::min(pieceSize, total - done);
        const uint32_t asked = piece;
        result = transfer(static_cast<uint8_t>(address + done), &piece, done);
        done += std::min<uint32_t>(piece, asked);
    }
    *count = done;
    return result;
}

// SCD arrays for frames whose data nobody looks at.
struct FrameScratch {
    std::array<BISS_U32, kMaxSlots> high{}, low{};
    BISS_U32 mask = 0;
};

} // namespace

int BissMasterClass::ReadSlaveControl(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[])
{
    if (configuredChannels_ == 0 || params_.Com(eBISS_CP_PROTOCOL) == 2) {
        *count = 0;
        return eBISS_FRAME_FAILED;
    }
    switch (ChooseControlRoad(interfaceType_, chipId_)) {
    case ControlRoad::UsbAdapter:
        return TransferInPieces(kUsbPiece, address, count, [&](uint8_t at, BISS_U32 *piece, uint32_t done) {
            return UsbReadSlaveRegisters(slave, at, piece, data + done);
        });
    case ControlRoad::MasterRam:
        return TransferInPieces(GetMasterInfo().maxRegCount, address, count,
                                [&](uint8_t at, BISS_U32 *piece, uint32_t done) {
                                    return ReadSlaveRam(slave, at, piece, data + done);
                                });
    case ControlRoad::SoftwareFrames:
        break;
    }
    return ReadSlaveBySoftwareFrames(slave, address, count, data);
}

int BissMasterClass::WriteSlaveControl(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[])
{
    // Longer writes go in pieces: the master's transfer memory must never overflow into its registers.
    if (params_.Com(eBISS_CP_SSI_WRITE) == 0) {
        switch (ChooseControlRoad(interfaceType_, chipId_)) {
        case ControlRoad::UsbAdapter:
            return TransferInPieces(kUsbPiece, address, count, [&](uint8_t at, BISS_U32 *piece, uint32_t done) {
                return UsbWriteSlaveRegisters(slave, at, piece, data + done);
            });
        case ControlRoad::MasterRam:
            return TransferInPieces(GetMasterInfo().maxRegCount, address, count,
                                    [&](uint8_t at, BISS_U32 *piece, uint32_t done) {
                                        return WriteSlaveRam(slave, at, piece, data + done);
                                    });
        case ControlRoad::SoftwareFrames:
            break;
        }
    }
    return WriteSlaveBySoftwareFrames(slave, address, count, data);
}

int BissMasterClass::ReadSlaveBySoftwareFrames(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[])
{
    const uint32_t n = *count;
    *count = 0;
    FrameScratch scratch;
    const auto stopAfterTimeout = [this] {
        const int stopped = WriteMasterRegister(reg::kInstruction, instruction::kStop);
        return stopped != eBISS_NO_ERROR ? stopped : static_cast<int>(eBISS_BISS_COMM_FAILED);
    };

    // The register access takes the sequencer over from any access riding on SCD reads.
    controlAccessPending_ = 0;
    uint32_t controlStatus = 0;
    int result = ReadMasterRegister(reg::kControlStatus, &controlStatus);
    if (result != eBISS_NO_ERROR)
        return result;
    if (!status::AllOk(controlStatus)) {
        result = RunFrameCycle(scratch.high.data(), scratch.low.data(), &scratch.mask, instruction::kDataFrame,
                               nullptr);
        if (result == eBISS_BISS_COMM_FAILED)
            return stopAfterTimeout();
        if (result == eBISS_USB_CONNECTION)
            return result;
        if ((result = ReadMasterRegister(reg::kControlStatus, &controlStatus)) != eBISS_NO_ERROR)
            return result;
    }

    const uint32_t moreBytes = n >= 2 ? kMoreBytes : 0;
    uint32_t k = 0;
    result = eBISS_NO_ERROR;
    for (; k < n && result == eBISS_NO_ERROR; ++k) {
        const uint32_t more = k + 1 < n ? moreBytes : 0;
        uint32_t flags = kControlRead | more | (k > 0 ? kContinue : 0);
        uint8_t received = 0;
        uint8_t done = 0;
        do {
            result = RunControlFrame(flags, slave, static_cast<uint8_t>(address + k), 0, more, &received, &done,
                                     scratch.high.data(), scratch.low.data(), &scratch.mask);
            flags = more;
        } while (result == eBISS_NO_ERROR && !done);
        if (result == eBISS_NO_ERROR)
            data[k] = received;
    }
    if (result == eBISS_NO_ERROR) {
        *count = n;
        return eBISS_NO_ERROR;
    }
    const uint32_t received = k - 1;  // the byte that failed is not counted
    if (result == eBISS_BISS_COMM_FAILED)
        return stopAfterTimeout();
    if (result == eBISS_USB_CONNECTION) {
        *count = received;
        return result;
    }
    for (uint32_t frame = 0; frame < kRecoveryFrames; ++frame)
        RunFrameCycle(scratch.high.data(), scratch.low.data(), &scratch.mask, instruction::kDataFrame, nullptr);
    if (result == eBISS_REGISTER_REJECTED || result == eBISS_REGISTER_COMM_FAILED)
        *count = received;
    return result;
}

int BissMasterClass::WriteSlaveBySoftwareFrames(uint8_t slave, uint8_t address, BISS_U32 *count,
                                                const BISS_U32 data[])
{
    const uint32_t n = *count;
    *count = 0;
    FrameScratch scratch;
    const bool ssiWrite = params_.Com(eBISS_CP_SSI_WRITE) != 0;
    const bool usb = IsUsbAdapter(interfaceType_);
    int result = eBISS_NO_ERROR;

    controlAccessPending_ = 0;
    if (usb) {
        if (ssiWrite && (result = WriteMasterRegister(reg::kAccessSetup, kSsiWriteSetup)) != eBISS_NO_ERROR)
            return result;
    } else {
        uint32_t controlStatus = 0;
        if ((result = ReadMasterRegister(reg::kControlStatus, &controlStatus)) != eBISS_NO_ERROR)
            return result;
        const uint32_t protocol = params_.Com(eBISS_CP_PROTOCOL);
        // The frame before the write runs as an SSI frame that reads data.
        if (ssiWrite) {
            params_.SetComParam(eBISS_CP_SSI_WRITE, 0);
            params_.SetComParam(eBISS_CP_PROTOCOL, 2);
            WriteMasterParams(true);
        }
        const auto giveBackSsiWrite = [&] {
            if (!ssiWrite)
                return;
            params_.SetComParam(eBISS_CP_SSI_WRITE, 1);
            params_.SetComParam(eBISS_CP_PROTOCOL, protocol);
            WriteMasterParams(true);
        };
        if (!status::AllOk(controlStatus)) {
            result = RunFrameCycle(scratch.high.data(), scratch.low.data(), &scratch.mask, instruction::kDataFrame,
                                   nullptr);
            if (result == eBISS_BISS_COMM_FAILED || result == eBISS_USB_CONNECTION) {
                giveBackSsiWrite();
                if (result == eBISS_USB_CONNECTION)
                    return result;
                const int stopped = WriteMasterRegister(reg::kInstruction, instruction::kStop);
                return stopped != eBISS_NO_ERROR ? stopped : result;
            }
            if ((result = ReadMasterRegister(reg::kControlStatus, &controlStatus)) != eBISS_NO_ERROR) {
                giveBackSsiWrite();
                return result;
            }
        }
        // The write itself goes out with the protocol left at SSI.
        if (ssiWrite)
            params_.SetComParam(eBISS_CP_SSI_WRITE, 1);
    }

    const uint32_t moreBytes = n >= 2 ? kMoreBytes : 0;
    uint32_t written = 0;
    result = eBISS_NO_ERROR;
    for (; written < n && result == eBISS_NO_ERROR;) {
        const uint32_t more = written + 1 < n ? moreBytes : 0;
        uint32_t flags = kControlWrite | more | (written > 0 ? kContinue : 0);
        uint8_t received = 0;
        uint8_t done = 0;
        do {
            result = RunControlFrame(flags, slave, static_cast<uint8_t>(address + written),
                                     static_cast<uint8_t>(data[written] & 0xFF), more, &received, &done,
                                     scratch.high.data(), scratch.low.data(), &scratch.mask);
            flags = more;
        } while (result == eBISS_NO_ERROR && !done);
        if (result == eBISS_NO_ERROR)
            ++written;
    }

    if (ssiWrite && usb) {
        WriteMasterRegister(reg::kAccessSetup, kAssistedSetup);
        WriteMasterRegister(reg::kInstruction, instruction::kStop);
    } else if (ssiWrite) {
        // The SSI write ends with the clock left idle; a failed adapter transfer here is the call's failure.
        const int pulsed = ClockPulses(0, 0, 0);
        if (pulsed != eBISS_NO_ERROR && result == eBISS_NO_ERROR)
            result = pulsed;
    }
    // Only bytes the slave took completely count as written.
    *count = written;
    if (result == eBISS_NO_ERROR || result == eBISS_USB_CONNECTION)
        return result;
    if (result == eBISS_BISS_COMM_FAILED) {
        const int stopped = WriteMasterRegister(reg::kInstruction, instruction::kStop);
        return stopped != eBISS_NO_ERROR ? stopped : result;
    }
    for (uint32_t frame = 0; frame < kRecoveryFrames; ++frame)
        RunFrameCycle(scratch.high.data(), scratch.low.data(), &scratch.mask, instruction::kDataFrame, nullptr);
    return eBISS_REGISTER_REJECTED;
}

} // namespace ferrolink
