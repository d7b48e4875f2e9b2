// The FTDI adapter back end (interface type 4): the adapter's MPSSE engine
// talks to the master chip's serial register interface. Everything is first
// collected in a command queue and then written in one transfer, so a register
// access, or a whole frame cycle with all its reads, is one USB write and at
// most one USB read.
#pragma once

#include <array>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace ferrolink {

// A failed or short USB transfer inside a clock pulse run or a block transfer.
// Whoever calls those catches it and reports eBISS_USB_CONNECTION.
class FtdiTransferFailed : public std::exception {
public:
    const char *what() const noexcept override { return "FTDI adapter transfer failed"; }
};

class FtdiInterfaceClass {
public:
    static constexpr uint32_t kSettingCount = 9;
    static constexpr size_t kScdBytes = 64;

    FtdiInterfaceClass();
    ~FtdiInterfaceClass();
    FtdiInterfaceClass(const FtdiInterfaceClass &) = delete;
    FtdiInterfaceClass &operator=(const FtdiInterfaceClass &) = delete;

    // Opens the adapter channel with this description and brings its MPSSE
    // engine up; false when the library or the device is missing or the
    // initialisation fails (the device may then be open: close it).
    bool Open(const std::string &description);
    // The library's status of the close, 0 when nothing was open.
    uint32_t Close();
    bool IsOpen() const { return open_ != 0; }

    // Single master register accesses: 0 or eBISS_USB_CONNECTION.
    int WriteRegister(uint8_t address, uint8_t value);
    int ReadRegister(uint8_t address, uint8_t *value);
    // Bit 0 of the status register 0xF0.
    int ReadEndOfCycle(uint8_t *endOfCycle);

    // One frame cycle: the instruction, the status polls and every SCD byte in
    // one write and one read. scd receives 8 bytes per channel (at most 8
    // channels) and delivered (may be null) says whether it did; validMask the
    // channels that arrived valid (0xFF: all). Returns 0, eBISS_USB_CONNECTION,
    // eBISS_BISS_COMM_FAILED or eBISS_FRAME_FAILED (also with data delivered).
    int FrameCycle(uint8_t scd[kScdBytes], uint32_t *validMask, uint32_t channels, uint32_t freqScd,
                   uint8_t instruction, uint32_t ssiWrite, uint32_t ssiWriteTimeout, uint32_t *controlBit,
                   uint32_t chipId, bool *delivered = nullptr);

    // Test-mode clock pulses (TestModeClock.h); throws FtdiTransferFailed.
    bool ClockPulses(uint32_t count, uint32_t instruction, uint32_t delay);

    // Drops every queued and kept sequence: they were built for earlier parameters.
    void ResetQueues();

    // The free pins (bits 5-7 of the low pin byte). Applied to, or read from,
    // the adapter only when it is the selected interface; else just kept.
    int SetPins(uint32_t direction, uint32_t value, bool apply);
    int GetPins(uint32_t *direction, uint32_t *value, bool refresh);

    // Clock divisor high byte (a) and low byte (b), used from the next open.
    void SetClock(uint32_t a, uint32_t b);
    // The low bits of the test-mode register, kept in every test-mode write.
    void SetTestModeBase(uint8_t base) { testModeBase_ = base; }

    int SetSetting(uint32_t index, uint32_t value);
    int GetSetting(uint32_t index, uint32_t *value) const;

private:
    static constexpr size_t kQueues = 3;

    void Append(size_t queue, std::initializer_list<uint8_t> bytes);
    void AppendChipSelect(size_t queue, bool selected);
    void AppendRegisterWrite(size_t queue, uint8_t address, uint8_t value);
    void AppendRegisterRead(size_t queue, uint8_t address);
    void ResetQueue(size_t queue);
    // Queue 0 emptied and ready for a one-off sequence.
    void StartSingle();
    bool Flush(size_t queue, bool clear);
    bool PurgeReceive();
    // Reads exactly `count` answers and makes sure nothing else is waiting
    // (stray bytes are purged); false otherwise.
    bool ReadAnswers(uint8_t *buffer, uint32_t count);
    uint32_t Initialise();
    // Writes instruction register `reg` := value and reads the addresses; the
    // values in order. Throws FtdiTransferFailed.
    std::vector<uint8_t> BlockTransfer(size_t queue, uint8_t reg, uint8_t value,
                                       const std::vector<uint8_t> &addresses);
    int FrameErrorBits(uint32_t chipId, uint32_t *validMask);

    void *device_ = nullptr;
    std::array<std::vector<uint8_t>, kQueues> queues_;
    std::array<std::optional<std::vector<uint8_t>>, kQueues> sent_;
    std::array<uint8_t, kQueues> needsBuilding_{1, 1, 1};
    // The reads a kept sequence was built for.
    std::array<std::vector<uint8_t>, kQueues> builtFor_;
    uint8_t open_ = 0;
    std::array<uint32_t, kSettingCount> settings_{};
    uint32_t clockA_ = 0;
    uint32_t clockB_ = 0;
    uint8_t testModeBase_ = 0;
};

} // namespace ferrolink
