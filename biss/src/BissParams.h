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

private:
    using FrameRows = std::array<std::array<uint32_t, kFrameCount>, kChannels>;

    std::array<uint32_t, kComCount> com_{};
    std::array<FrameRows, 2> frames_{};
    std::array<std::array<uint32_t, kLegacyCount>, kChannels> legacy_{};
};

// CRC length in bits of a polynomial given with its top bit: ceil(log2(p)) - 1, 0 for p = 0 or 1.
uint32_t CrcLength(uint32_t polynomial);

} // namespace ferrolink
