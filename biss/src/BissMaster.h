// The object behind one handle: everything the library knows about one BiSS
// master and its slaves.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "BissParams.h"
#include "BitValue.h"
#include "ControlSequenceState.h"
#include "ErrorHistory.h"
#include "ScdContent.h"

class wxTextFile;

namespace ferrolink {

// What identification found out about the master chip.
struct MasterChipInfo {
    uint32_t channelLimit = 0;
    uint32_t maxRegCount = 0;
    uint32_t chipId = 0;
    uint32_t revision = 0;
};

class BissMasterClass {
public:
    static constexpr uint32_t kChannels = BissParamClass::kChannels;
    static constexpr uint32_t kRegisters = 256;
    static constexpr uint32_t kLegacyChipId = 0x83;

    BissMasterClass();
    ~BissMasterClass();
    BissMasterClass(const BissMasterClass &) = delete;
    BissMasterClass &operator=(const BissMasterClass &) = delete;

    // Error history.
    static int GetErrorText(uint32_t code, uint32_t *level, std::string *text);
    uint32_t RecordError(uint32_t code) { return history_.Record(code); }
    int GetLastError(uint32_t *code, uint32_t *level, std::string *text) const;
    const ErrorHistory &History() const { return history_; }

    // Communication and frame parameters.
    int SetComParam(uint32_t index, uint32_t value);
    int GetComParam(uint32_t index, uint32_t *value) const;
    int SetFrameParam(uint32_t channel, uint32_t index, uint32_t value);
    int GetFrameParam(uint32_t channel, uint32_t index, uint32_t *value) const;
    BissParamClass &Params() { return params_; }
    const BissParamClass &Params() const { return params_; }
    uint32_t ConfiguredChannels() const { return configuredChannels_; }

    // Master register image.
    MasterChipInfo GetMasterInfo() const;
    void BuildRegisterImage();
    // The image for a given chip behind a given interface type.
    void BuildRegisterImage(const MasterChipInfo &chip, uint32_t interfaceType);
    int GetMasterRegister(uint32_t address, uint32_t *value);
    uint32_t TargetRegister(uint32_t address) const { return target_[address]; }
    int32_t SplitSlot() const { return splitSlot_; }
    uint32_t SplitCrcLength() const { return splitCrcLength_; }

    // Register images as Intel HEX files and the CRC over caller bytes; the load
    // works on a copy of the count, so the caller's is never changed.
    int SaveRegister(const char *fileName, uint32_t start, uint32_t count, const BISS_U32 *data) const;
    int LoadRegister(const char *fileName, uint32_t start, uint32_t count, BISS_U32 *data) const;
    int CalculateCrc(uint32_t polynomial, const BISS_U32 *data, uint32_t count, BISS_U32 *crc) const;

    // The configuration registers as a text listing (CRLF lines), values from
    // the image the current parameters give; 0 or 5.
    int SaveRegisterListing(const char *fileName);

    uint32_t InterfaceType() const { return interfaceType_; }
    const std::string &InterfaceDescription() const { return interfaceDescription_; }

    // Content lists of the first (caller's) table.
    int ResizeContentList(uint32_t channel, uint32_t count);

    // The line readers of the XML files stop here.
    static bool IsAtLastLine(wxTextFile &file);

private:
    void RecountConfiguredChannels();

    // Descriptions from identifier and profile files, by the file's section position.
    std::array<std::vector<ScdContentXmlClass>, kChannels> fileContents_;
    // Content items of the second (detected) and first (caller's) tables.
    std::array<std::vector<ScdContentClass>, kChannels> detectedContents_;
    std::array<std::vector<ScdContentClass>, kChannels> contents_;
    std::array<std::string, 3 * kChannels> labels_;
    std::array<std::string, 3 * kChannels> detectedLabels_;
    std::array<std::vector<std::string>, kChannels> deviceLabels_;

    uint32_t chipId_ = 0;
    uint32_t chipRevision_ = 0;
    uint32_t channelLimit_ = 0;
    uint32_t registerCountLimit_ = 0;
    std::array<uint32_t, kRegisters> shadow_{};
    std::array<uint32_t, kRegisters> target_{};

    ControlSequenceState control_;
    uint8_t retryCount_ = 0;
    uint8_t controlAccessPending_ = 0;
    uint8_t controlDone_ = 0;

    uint32_t interfaceType_ = 0;
    BissParamClass params_;
    uint32_t configuredChannels_ = 0;
    int32_t splitSlot_ = -1;
    uint32_t splitCrcLength_ = 0;
    // Last single-cycle data of each channel, CRC removed.
    std::array<BitValueClass, kChannels> scdValues_{};
    std::string bitText_;
    std::array<std::string, 3> crcWorkTexts_;

    // Frames kept by the streaming: one element each until frames are stored.
    std::vector<uint32_t> storedFrameNumbers_ = std::vector<uint32_t>(1);
    std::vector<uint32_t> storedFrameStatus_ = std::vector<uint32_t>(1);
    std::array<std::vector<uint32_t>, kChannels> storedLow_;
    std::array<std::vector<uint32_t>, kChannels> storedHigh_;
    uint32_t storedFrameCount_ = 0;

    uint8_t lowSpeedWarning_ = 0;
    uint8_t registerE8Stale_ = 0;
    std::string interfaceDescription_;
    ErrorHistory history_;
};

} // namespace ferrolink
