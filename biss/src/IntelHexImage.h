// A register image of up to 40000 bytes as an Intel HEX file: data records of
// 16 bytes from address 0, then the end record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ferrolink {

class IntelHexImage {
public:
    static constexpr uint32_t kCapacity = 40000;
    static constexpr uint32_t kRecordBytes = 16;
    // The reader's line buffer: longer lines are not a record it accepts.
    static constexpr size_t kMaxLineLength = 255;

    IntelHexImage();

    // Replaces the image with the data records of a file: 0, 9 (cannot be
    // opened) or 10 (not a file this library reads). On failure the image may
    // hold some of the file's bytes.
    int Read(const char *fileName);
    // Writes addresses 0 to length - 1 (length at most kCapacity): 0, or 20 when
    // the file cannot be created.
    int Write(const char *fileName, uint32_t length) const;

    bool IsPresent(uint32_t address) const { return address < kCapacity && present_[address]; }
    uint8_t At(uint32_t address) const { return bytes_[address]; }
    void Put(uint32_t address, uint8_t value);
    // Addresses present from 0 up to the first gap.
    uint32_t PresentFromStart() const;

private:
    int ReadRecord(const char *line, size_t length);

    std::vector<uint8_t> bytes_;
    std::vector<bool> present_;
};

} // namespace ferrolink
