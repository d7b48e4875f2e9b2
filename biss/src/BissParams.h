// The parameter store: communication parameters, two frame tables and the
// legacy channel table. Nothing here touches the bus.
#pragma once

#include <array>
#include <cstdint>

#include "ferrolink.h"

namespace ferrolink {

class BissParamClass {
public:
    static constexpr uint32_t kComCount = 21;
    static constexpr uint32_t kChannels = 8;
    static constexpr uint32_t kFrameCount = 9;
    static constexpr uint32_t kLegacyCount = 10;

    // Frame table 0 is the caller's and builds the master image; table 1 is what
    // the auto-detection read from identification files.
    enum FrameTable : uint32_t { kUserTable = 0, kDetectedTable = 1 };

    BissParamClass();

    static bool IsReadOnlyComParam(uint32_t index);

    int SetComParam(uint32_t index, uint32_t value);
    int GetComParam(uint32_t index, uint32_t *value) const;
    // The channel is the caller's to check.
    int SetFrameParam(uint32_t channel, uint32_t index, uint32_t value, FrameTable table);
    int GetFrameParam(uint32_t channel, uint32_t index, uint32_t *value, FrameTable table) const;

    // Register bytes as an Intel HEX file, one byte value per element. The save
    // keeps an existing file's bytes below its first gap and fills what no one
    // gave with 0xFF; the load fills data up to the first address the file
    // lacks and then gives 10.
    static int SaveHex(const char *fileName, uint32_t start, uint32_t count, const BISS_U32 *data);
    static int LoadHex(const char *fileName, uint32_t start, uint32_t count, BISS_U32 *data);
    // Shift-left CRC of the width of the polynomial's highest bit (at most 15),
    // initial value 0, most significant data bit first.
    static int CalculateCrc(uint32_t polynomial, const BISS_U32 *data, uint32_t count, BISS_U32 *crc);

    // Direct access for the library's own operations (indices already checked).
    uint32_t Com(uint32_t index) const { return com_[index]; }
    uint32_t Frame(uint32_t channel, uint32_t index, FrameTable table = kUserTable) const
    {
        return frames_[table][channel][index];
    }
    uint32_t &Legacy(uint32_t channel, uint32_t index) { return legacy_[channel][index]; }
    uint32_t Legacy(uint32_t channel, uint32_t index) const { return legacy_[channel][index]; }

    // ---- Electronic data sheet: a 256-byte image in four banks of 64, byte 63
    // of each its checksum, and 97 parameters as bit fields of the image ----
    static constexpr uint32_t kEdsParams = 97;
    static constexpr uint32_t kEdsBytes = 256;
    static constexpr uint32_t kEdsBankSize = 64;
    // Stores the value as given (6 for an index above 255) and brings the checksums up to date.
    int SetEdsRegister(uint32_t index, uint32_t value);
    int GetEdsRegister(uint32_t index, uint32_t *value) const;
    // A field of bitCount bits whose top bit is topBit of image byte start, continuing
    // in the next higher byte (order 1) or the next lower one (order 0).
    uint32_t GetEdsField(uint32_t start, uint32_t topBit, uint32_t bitCount, uint32_t order) const;
    int SetEdsField(uint32_t start, uint32_t topBit, uint32_t bitCount, uint32_t value, uint32_t order);
    int SetEdsParam(uint32_t number, uint32_t value);
    int GetEdsParam(uint32_t number, uint32_t *value) const;
    // Byte 63 of bank 0 and of the further banks := their checksums; 22 when the
    // image does not say which banks are in use.
    int UpdateEdsChecksums();
    // Sum of bytes 0-62 of an image bank, modulo 256.
    uint8_t EdsBankChecksum(uint32_t bank) const;
    // Whether the image names its bank and a version from 1 to 4.
    bool HasWritableEds() const;
    // How many banks follow bank 0 (none without a second part); 22 for more than three.
    int EdsFurtherBanks(uint32_t *banks) const;
    // ---- end of electronic data sheet ----

private:
    struct EdsParamEntry {
        uint8_t start = 0;
        uint8_t topBit = 0;
        uint8_t bitCount = 0;
        uint8_t order = 1;
    };
    void BuildEdsParamTable();
    // The entry of a parameter, its start moved into image bank 1 for parameters 67 up; 5 or 22.
    int LocateEdsParam(uint32_t number, EdsParamEntry *entry) const;

    using FrameRows = std::array<std::array<uint32_t, kFrameCount>, kChannels>;

    std::array<uint32_t, kComCount> com_{};
    std::array<FrameRows, 2> frames_{};
    std::array<std::array<uint32_t, kLegacyCount>, kChannels> legacy_{};
    std::array<EdsParamEntry, kEdsParams> edsTable_{};
    std::array<uint32_t, kEdsBytes> edsImage_{};
};

// CRC length in bits of a polynomial given with its top bit: ceil(log2(p)) - 1, 0 for p = 0 or 1.
uint32_t CrcLength(uint32_t polynomial);

} // namespace ferrolink
