// A run of frames at the master's automatic frame rate, streamed by the USB
// adapter: the stream request, the packets collected three reads ahead, the
// stop, and the frames decoded and kept once the stream has ended.
#include <array>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "BissMaster.h"
#include "DravioStatus.h"
#include "MasterRegisterMap.h"
#include "ScdStreamLayout.h"
#include "StreamedFrame.h"
#include "UsbAdapterFrames.h"
#include "UsbStreamReads.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr DWORD kRequestTimeoutMs = 1000;
constexpr DWORD kPacketTimeoutMs = 1000;
constexpr int kDrainLateAnswer = 1;
constexpr uint8_t kAutomaticFrames = 0x01;
// The first two records of a stream are not kept.
constexpr uint32_t kSkippedRecords = 2;

// The instruction pair that starts the automatic frames, then every SCD byte of every channel.
std::vector<uint8_t> BuildStreamRequest(const ScdStreamLayout &layout, uint8_t options)
{
    std::vector<usbadapter::RegisterPair> pairs = {{reg::kInstruction, kAutomaticFrames}};
    for (uint32_t c = 0; c < ScdStreamLayout::kChannels; ++c)
        for (uint32_t j = 0; j < layout.channels[c].bytes; ++j)
            pairs.push_back({static_cast<uint8_t>(reg::kScdData + ScdStreamLayout::kMaxChannelBytes * c + j), 0});
    return usbadapter::BuildRequest(usbadapter::kStreamFrames, options, pairs.data(),
                                    static_cast<uint32_t>(pairs.size()));
}

int FailedWait(DWORD status)
{
    return status == dravio::DRAVIO_ERR_TIMEOUT ? eBISS_BISS_COMM_FAILED : eBISS_MASTER_COMM_FAILED;
}

// Every packet of the run, three reads ahead: 0, or the code that ends the stream.
int CollectPackets(UsbStreamReads &reads, uint32_t packets, const ScdStreamLayout &layout, const uint8_t *block)
{
    for (uint32_t b = 0; b < packets && b < UsbStreamReads::kInFlight; ++b)
        if (!reads.Submit(b))
            return eBISS_MASTER_COMM_FAILED;
    for (uint32_t b = 0; b < packets; ++b) {
        DWORD transferred = 0;
        const DWORD status = reads.Wait(b, kPacketTimeoutMs, &transferred);
        if (status != dravio::DRAVIO_STATUS_SUCCESS)
            return FailedWait(status);
        // Records follow each other across packets: a short one would shift every later frame.
        if (transferred != layout.PacketBytes())
            return eBISS_MASTER_COMM_FAILED;
        if (b == 0) {
            // Record 1 tells whether the automatic frames run at all.
            const uint8_t status1 = block[layout.recordSize + StreamedFrame::kStatusOffset];
            if ((status1 & StreamedFrame::kStatusStreaming) == 0)
                return (status1 & StreamedFrame::kStatusAnswered) != 0 ? eBISS_FRAME_FAILED
                                                                      : eBISS_FRAME_RATE_TOO_HIGH;
        }
        const uint32_t next = b + UsbStreamReads::kInFlight;
        if (next < packets && !reads.Submit(next))
            return eBISS_MASTER_COMM_FAILED;
    }
    return eBISS_NO_ERROR;
}

// The arrays a run of another length is kept in, made before the stream so
// that a count too big to keep fails before anything is sent.
struct FrameArrays {
    std::vector<uint32_t> numbers;
    std::vector<uint32_t> status;
    std::array<std::vector<uint32_t>, BissMasterClass::kChannels> high;
    std::array<std::vector<uint32_t>, BissMasterClass::kChannels> low;

    bool Allocate(uint32_t count)
    {
        try {
            numbers.assign(count, 0);
            status.assign(count, 0);
            for (uint32_t c = 0; c < BissMasterClass::kChannels; ++c) {
                high[c].assign(count, 0);
                low[c].assign(count, 0);
            }
        } catch (const std::bad_alloc &) {
            return false;
        } catch (const std::length_error &) {
            return false;
        }
        return true;
    }
};

} // namespace

int BissMasterClass::ReadScdFrames(uint32_t frameCount, BISS_U32 high[], BISS_U32 low[], BISS_U32 frameNumbers[],
                                   BISS_U32 frameStatus[])
{
    if (interfaceType_ != eBISS_IF_DRAVIO_A && interfaceType_ != eBISS_IF_DRAVIO_B)
        return eBISS_NO_INTERFACE;
    if (frameCount == 0)
        return eBISS_VALUE_RANGE;
    if (high == nullptr || low == nullptr)
        return eBISS_INVALID_PARAMETER;

    // Register 0xE8 was loaded for control traffic: the stream runs at the rate of the image.
    const bool rewriteAgs = registerE8Stale_ != 0;
    if (rewriteAgs)
        BuildRegisterImage();
    const ScdStreamLayout layout = ScdStreamLayout::Compute(params_, splitSlot_, splitCrcLength_);
    uint32_t packets = 0;
    uint32_t blockSize = 0;
    if (!layout.PlanBuffers(frameCount, &packets, &blockSize))
        return eBISS_VALUE_RANGE;
    const std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[blockSize]);
    if (!block)
        return eBISS_VALUE_RANGE;
    const bool newLength = frameCount != storedFrameCount_;
    FrameArrays fresh;
    if (newLength && !fresh.Allocate(frameCount))
        return eBISS_VALUE_RANGE;

    if (rewriteAgs) {
        const int written = WriteImageRegister(reg::kAgsDivider, false);
        if (written != eBISS_NO_ERROR)
            return written;
        registerE8Stale_ = 0;
    }
    const std::vector<uint8_t> request = BuildStreamRequest(layout, UsbOptions());
    DWORD length = static_cast<DWORD>(request.size());
    if (usbOut_.WriteSync(request.data(), length, kRequestTimeoutMs) != dravio::DRAVIO_STATUS_SUCCESS)
        return eBISS_MASTER_COMM_FAILED;
    {
        UsbStreamReads reads(usbIn_, block.get(), layout.PacketBytes());
        const int collected = CollectPackets(reads, packets, layout, block.get());
        if (collected != eBISS_NO_ERROR) {
            // The reads end before the stop, whose answer must not land in a stream buffer.
            reads.CancelPending();
            UsbSetInstruction(kDrainLateAnswer, true);
            return collected;
        }
    }
    int result = UsbSetInstruction(kDrainLateAnswer, false);

    if (newLength) {
        storedFrameNumbers_.swap(fresh.numbers);
        storedFrameStatus_.swap(fresh.status);
        for (uint32_t c = 0; c < kChannels; ++c) {
            storedHigh_[c].swap(fresh.high[c]);
            storedLow_[c].swap(fresh.low[c]);
        }
        storedFrameCount_ = frameCount;
    }
    // Every frame is kept, also after a bad one; the last bad status decides.
    bool crcMismatch = false;
    for (uint32_t k = 0; k < frameCount; ++k) {
        const uint8_t *record = block.get() + static_cast<size_t>(k + kSkippedRecords) * layout.recordSize;
        const StreamedFrame frame = StreamedFrame::Decode(layout, record);
        if ((frame.status & StreamedFrame::kStatusNoErrors) != StreamedFrame::kStatusNoErrors)
            result = (frame.status & StreamedFrame::kStatusAnswered) != 0 ? eBISS_FRAME_FAILED
                                                                          : eBISS_FRAME_RATE_TOO_HIGH;
        crcMismatch = crcMismatch || !frame.crcGood;
        storedFrameNumbers_[k] = frame.number;
        storedFrameStatus_[k] = frame.status;
        for (uint32_t c = 0; c < kChannels; ++c) {
            storedHigh_[c][k] = frame.values[c].GetHigh();
            storedLow_[c][k] = frame.values[c].GetLow();
        }
        high[k] = frame.values[0].GetHigh();
        low[k] = frame.values[0].GetLow();
        if (frameNumbers != nullptr)
            frameNumbers[k] = frame.number;
        if (frameStatus != nullptr)
            frameStatus[k] = frame.status;
    }
    if (crcMismatch)
        return eBISS_FRAME_FAILED;
    // Frame numbers that span the count or more: the adapter dropped frames.
    if (storedFrameNumbers_[frameCount - 1] - storedFrameNumbers_[0] >= frameCount)
        return eBISS_DATA_OVERFLOW;
    return result;
}

} // namespace ferrolink
