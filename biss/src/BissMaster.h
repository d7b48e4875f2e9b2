// The object behind one handle: everything the library knows about one BiSS
// master and its slaves.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "BissParams.h"
#include "BitValue.h"
#include "ControlSequenceState.h"
#include "ErrorHistory.h"
#include "FtdiInterface.h"
#include "LptPort.h"
#include "ScdContent.h"
#include "Dravio.h"
#include "DravioThread.h"

class wxString;
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

    // Interface selection and master register access.
    int SetInterface(uint32_t type, const char *name);
    int GetInterface(uint32_t *type);
    int GetInterfaceInfo(uint32_t reserved, std::string *text) const;
    int WriteMasterRegister(uint32_t address, uint32_t value);
    int ReadMasterRegister(uint32_t address, uint32_t *value);
    int ReadEndOfCycle(uint8_t *endOfCycle);
    void IdentifyMaster();
    int VerifyMaster(uint32_t address);
    static bool ProbeLibrary(const char *file);

    // BiSS start-up.
    int InitBissComm();

    // The FTDI adapter's free pins and clock, kept while another type is selected.
    int SetZeptorPins(uint32_t direction, uint32_t value);
    int GetZeptorPins(uint32_t *direction, uint32_t *value);
    int SetFtdiFreq(uint32_t a, uint32_t b);
    // Test-mode clock pulses through the selected adapter (TestModeClock.h);
    // a failed FTDI transfer gives eBISS_USB_CONNECTION.
    int ClockPulses(uint32_t count, uint32_t instruction, uint32_t delay);
    FtdiInterfaceClass &Ftdi() { return ftdi_; }

    // Master register image.
    MasterChipInfo GetMasterInfo();
    // 0, or 7 when a used channel's data bits (its length less the CRC bits the
    // master takes) do not fit the master's 1 to 64; the image is built either way.
    int BuildRegisterImage();
    // The image for a given chip behind a given interface type.
    int BuildRegisterImage(const MasterChipInfo &chip, uint32_t interfaceType);
    int GetMasterRegister(uint32_t address, uint32_t *value);
    int WriteMasterParams(bool onlyChanged);
    int WriteImageRegister(uint32_t address, bool onlyChanged);
    int ReadMasterConfig();
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

    // ---- Channel descriptions: content items, labels, identification files ----
    // Table selector of the content and label operations: the caller's (user)
    // description or the one auto-detection read from identification files.
    using DescriptionTable = BissParamClass::FrameTable;
    enum LabelKind : uint32_t { kCompleteLabel = 0, kManufacturerLabel = 1, kSlaveLabel = 2 };
    // Largest content list of a channel; items are numbered 0..0xFFFF.
    static constexpr uint32_t kMaxContentItems = 0x10000;
    using IdentificationBytes = std::array<uint8_t, 8>;
    // Start of an identification bit field: a position counted from the top bit
    // of byte 0 (identifier files), or a bit number of bytes 0-1 (profile files).
    enum class IdBitForm { kPosition, kBitNumber };

    // Content lists and labels of both tables (no error codes: callers resize
    // before they set or get an item).
    void ResizeScdContent(uint32_t channel, uint32_t count, DescriptionTable table);
    void ClearScdContent(uint32_t channel, DescriptionTable table);
    bool SetScdContentItem(uint32_t channel, uint32_t index, const ScdContentClass &item, DescriptionTable table);
    ScdContentClass GetScdContentItem(uint32_t channel, uint32_t index, DescriptionTable table) const;
    uint32_t ContentCount(uint32_t channel, DescriptionTable table) const;
    std::string GetChannelLabel(uint32_t channel, uint32_t kind, DescriptionTable table) const;
    void SetChannelLabel(uint32_t channel, uint32_t kind, const std::string &text, uint8_t part,
                         DescriptionTable table);
    void ClearSlaveLabelParts(uint32_t channel);
    // Slave positions a detected channel takes on the control channel (IdUsed).
    uint32_t DetectedIdCount(uint32_t channel) const;
    void SetDetectedIdCount(uint32_t channel, uint32_t count);

    // Content items of the user description and the split of SCD values into them.
    int GetScdContent(uint32_t channel, BISS_U32 *values) const;
    int GetScdFrameContent(uint32_t frameCount, uint32_t channel, uint32_t item, BISS_U32 *values) const;
    int SetScdContentLabels(uint32_t channel, uint32_t item, const char *label, const char *unit);
    int GetScdContentLabels(uint32_t channel, uint32_t item, char *label, char *unit) const;
    int SetScdContentParams(uint32_t channel, uint32_t item, uint32_t flag, uint32_t bitLength, uint32_t value3,
                            uint32_t value4);
    int GetScdContentParams(uint32_t channel, uint32_t item, BissScdContentParams *params) const;
    int SetSlaveLabel(uint32_t channel, const char *manufacturer, const char *slave, const char *complete);
    int GetSlaveLabel(uint32_t channel, char *manufacturer, char *slave, char *complete) const;
    void CopyDetectedContent(uint32_t source, uint32_t destination, bool prepend);

    // Last SCD value of each slot and the stored frames, as the frame cycle and
    // the streaming leave them.
    BitValueClass ScdValue(uint32_t slot) const { return slot < kChannels ? scdValues_[slot] : BitValueClass(); }
    void SetScdValue(uint32_t slot, const BitValueClass &value)
    {
        if (slot < kChannels)
            scdValues_[slot] = value;
    }
    uint32_t StoredFrameCount() const { return storedFrameCount_; }
    // Replaces every stored array by one of count elements (at least one).
    void ResizeStoredFrames(uint32_t count);
    void StoreFrameValue(uint32_t frame, uint32_t channel, const BitValueClass &value);

    // Identifier ("*idbiss*.xml") and profile ("*profile*.xml") files: true when
    // a device matched and its description was read to its closing line.
    bool ReadIdentifierFile(uint8_t slave, uint8_t baseChannel, const IdentificationBytes &id, wxTextFile &file);
    bool ReadProfileFile(uint8_t slave, uint8_t baseChannel, const IdentificationBytes &id, wxTextFile &file);
    const std::vector<ScdContentXmlClass> &FileContents(uint32_t position) const { return fileContents_[position]; }
    std::vector<ScdContentXmlClass> &FileContents(uint32_t position) { return fileContents_[position]; }
    void NameUnknownSlave(uint8_t slave, uint8_t baseChannel, bool manufacturerKnown, const IdentificationBytes &id);
    // Line reading shared by the XML readers. FindRequired abandons the read
    // (throws ReadAbandoned) when the text is missing; the parsers give true on failure.
    static wxString NextContentLine(wxTextFile &file);
    static size_t FindRequired(const wxString &search, const wxString &line, size_t from = 0);
    static bool ParseNumberText(const wxString &text, uint32_t *value);
    static bool ParseBinaryText(const wxString &text, uint32_t *value);
    static uint8_t ExtractIdBits(const IdentificationBytes &id, int start, uint8_t count, IdBitForm form);

    // The configuration as a bisscfg.dtd document: save gives 0 or 5, load 0, 5, 9 or 10.
    int SaveDllConfig(const char *fileName) const;
    int LoadDllConfig(const char *fileName);
    // ---- end of channel descriptions ----

    // ---- Slave auto-detection ----
    // Configures the channels for the slaves on the line: from an identifier or
    // profile file, or, for an empty name, channel 0 from the first slave's EDS.
    // configuredChannels receives the number of channels configured.
    int AutoDetection(const char *fileName, BISS_U32 *configuredChannels);
    // The detected description of channels 0..count-1 becomes the user
    // description, the last detected channel first.
    void AdoptDetectedChannels(uint32_t count);
    // The detection's walk along the control channel.
    friend class SlaveDetection;
    // ---- end of slave auto-detection ----

    // ---- Frame cycle, control channel, slave registers and the EDS ----
    // One frame on every configured channel, started with the given instruction;
    // the arrays take one entry per channel slot. delivered tells the caller that
    // the frame's data arrived and were decoded (also with code 15, when only
    // some channels were valid).
    int RunFrameCycle(BISS_U32 high[], BISS_U32 low[], BISS_U32 *crcOkMask, uint8_t instruction,
                      BISS_U32 *controlBit, bool *delivered = nullptr);
    // The frame cycle through single master register accesses (parallel port,
    // FTDI adapter with time-outs disabled); fills the 64-byte data buffer.
    int RunFrameCycleThroughRegisters(uint32_t slots, uint8_t *buffer, BISS_U32 *crcOkMask, uint8_t instruction,
                                      BISS_U32 *controlBit, bool *delivered);
    void DecodeScdRegisters(const uint8_t *buffer, uint32_t crcOkMask);
    // One slot per configured channel, plus the split slot (at most 8).
    uint32_t SlotCount() const;
    // Single-cycle data of every configured channel, with software CRC checks;
    // withControl starts a one-byte control access carried by later calls.
    int ReadScd(BISS_U32 high[], BISS_U32 low[], BISS_U32 *crcOkMask, uint32_t withControl, BISS_U32 *controlDone);
    int ReadScdWithControl(uint32_t withControl, BISS_U32 *controlDone, BISS_U32 high[], BISS_U32 low[],
                           BISS_U32 *crcOkMask, bool *delivered = nullptr);
    // "0"/"1" texts, index k = bit k, and the bit-serial CRC over them.
    static std::string BitsToText(uint64_t value, uint32_t bitCount);
    static std::string CrcOfBitText(const std::string &data, const std::string &polynomial,
                                    const std::string &start);
    // The 4-bit CRC of the control channel over a bit text.
    static std::string ControlCrc(const std::string &bits);

    // The control-frame sequencer: flags bits 0-1 start an operation (1 read,
    // 2 write), bit 2 more bytes follow, bit 3 continue at frame 18.
    static constexpr uint32_t kControlRead = 1;
    static constexpr uint32_t kControlWrite = 2;
    static constexpr uint32_t kMoreBytes = 4;
    static constexpr uint32_t kContinue = 8;
    int RunControlFrame(uint32_t flags, uint8_t slave, uint8_t address, uint8_t value, uint32_t moreBytes,
                        uint8_t *received, uint8_t *done, BISS_U32 high[], BISS_U32 low[], BISS_U32 *crcOkMask,
                        bool *delivered = nullptr);
    void ControlSendStep(uint32_t flags, uint8_t slave, uint8_t address, uint8_t value, uint8_t *instruction,
                         uint8_t *received, uint8_t *done);
    int ControlReceiveStep(bool bit, uint32_t moreBytes, uint8_t *received, uint8_t *done);
    // Ends whatever control access is running (after a failure).
    void ResetControlSequence();

    // Slave registers: mode 0 the library's own control access, mode 1 the
    // master's. The count is in/out: bytes asked for, bytes transferred.
    int ReadSlaveRegister(uint32_t mode, uint32_t slave, uint32_t address, BISS_U32 *count, BISS_U32 data[]);
    int WriteSlaveRegister(uint32_t mode, uint32_t slave, uint32_t address, BISS_U32 *count, const BISS_U32 data[]);
    // The roads behind them; each back end takes the one it can.
    int ReadSlaveAssisted(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[]);
    int WriteSlaveAssisted(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[]);
    int ReadSlaveControl(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[]);
    int WriteSlaveControl(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[]);
    int ReadSlaveBySoftwareFrames(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[]);
    int WriteSlaveBySoftwareFrames(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[]);
    // Bytes of the master's transfer memory (0x80 up); stopping a running cycle.
    int ReadMasterRam(uint32_t count, BISS_U32 data[]);
    int StopAtEndOfCycle();
    int WaitForEndOfCycle(bool *expired);
    // Master-assisted transfers of the chip 0x84 through its registers.
    int ReadSlaveRam(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[]);
    int WriteSlaveRam(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[]);
    // count in: bytes asked for; out: bytes the transfer moved.
    int RunSlaveRamTransfer(uint8_t slave, uint8_t address, bool write, uint32_t *count, const BISS_U32 data[]);

    // The USB adapter's combined frame request and its control-channel transfers.
    int UsbFrameCycle(uint32_t slots, uint8_t *scd, uint8_t *status, BISS_U32 *validBits, uint8_t instruction);
    int UsbReadSlaveRegisters(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 values[]);
    int UsbWriteSlaveRegisters(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 values[]);
    int StartUsbControlTransfer();
    // Waits for a started control transfer or command to be taken and to end; its status byte.
    int AwaitUsbControlEnd(uint32_t takenLimitMs, uint32_t *statusValue);

    // Electronic data sheet of a slave: the image in the parameters, read from
    // and written to the slave's banks.
    int SetEdsParam(uint32_t number, uint32_t value);
    int GetEdsParam(uint32_t number, uint32_t *value);
    int SetEdsRegister(uint32_t index, uint32_t value);
    int GetEdsRegister(uint32_t index, uint32_t *value);
    int ReadEdsParams(uint32_t slave);
    int WriteEdsParams(uint32_t slave);
    // ---- end of frame cycle, control channel, slave registers and the EDS ----

    // ---- SCD frame streaming and BiSS commands ----
    // A run of frames streamed by the USB adapter and kept here; the caller's
    // arrays take channel 0's value, and (when given) the frame number and
    // status byte, of each frame.
    int ReadScdFrames(uint32_t frameCount, BISS_U32 high[], BISS_U32 low[], BISS_U32 frameNumbers[],
                      BISS_U32 frameStatus[]);
    // One kept frame, one element per configured channel.
    int GetScdFrame(uint32_t frame, BISS_U32 high[], BISS_U32 low[], BISS_U32 *frameNumber,
                    BISS_U32 *frameStatus) const;
    // One channel over all kept frames; frameCount must be the kept count.
    int GetScdFrameEx(uint32_t frameCount, uint32_t channel, BISS_U32 high[], BISS_U32 low[],
                      BISS_U32 frameNumbers[], BISS_U32 frameStatus[]) const;
    // A command on the control channel. The USB adapter reads command number
    // and selection from (first, second), the FTDI adapter from (second, first).
    int SendCommand(uint32_t first, uint32_t second);
    int SendCommandAssisted(uint32_t command, uint32_t selection);
    int SendCommandFrame(uint32_t selection, uint32_t command);
    // One frame with the given instruction, waited for through master registers.
    int SendInstructionFrame(uint8_t instruction);
    // ---- end of SCD frame streaming and BiSS commands ----

    // The line readers of the XML files stop here.
    static bool IsAtLastLine(wxTextFile &file);

    // The legacy channel table of the older exported names.
    int SetChannelExtra(uint32_t channel, uint32_t index, uint32_t value);
    int GetChannelExtra(uint32_t channel, uint32_t index, uint32_t *value) const;

    // USB adapter back end (interface types 5 and 6).
    int UsbOpenAdapter(const std::string &name, const GUID &interfaceClass, bool trimName);
    int UsbCloseAdapter();
    int UsbReadRegisters(const uint8_t *addresses, uint8_t *values, uint32_t count, uint8_t *status);
    int UsbReadRegistersSplit(const uint8_t *addresses, uint8_t *values, uint32_t count, uint8_t *status);
    int UsbWriteRegisters(const uint8_t *addresses, const uint8_t *values, uint8_t *readBack, uint32_t count,
                          uint8_t *status);
    int UsbWriteRegister(uint8_t address, uint8_t value);
    int UsbReadRegister(uint8_t address, uint8_t *value);
    int UsbSetInstruction(int drainMode, bool stop);
    int UsbStartBiss();

private:
    void RecountConfiguredChannels();
    int InitBissCommUsb();
    int InitBissCommRegisters();
    uint8_t UsbOptions() const;
    int UsbSend(const std::vector<uint8_t> &frame);
    DWORD UsbReceive(std::vector<uint8_t> *response, DWORD timeoutMs);
    DWORD UsbReceiveEcho(uint8_t firstAddress, std::vector<uint8_t> *response, DWORD timeoutMs);
    void GrowUserContent(uint32_t channel, uint32_t item);

    // Descriptions from identifier and profile files, by the file's section position.
    std::array<std::vector<ScdContentXmlClass>, kChannels> fileContents_;
    // Content items of the second (detected) and first (caller's) tables.
    std::array<std::vector<ScdContentClass>, kChannels> detectedContents_;
    std::array<std::vector<ScdContentClass>, kChannels> contents_;
    std::array<std::string, 3 * kChannels> labels_;
    std::array<std::string, 3 * kChannels> detectedLabels_;
    std::array<std::vector<std::string>, kChannels> deviceLabels_;
    std::array<uint32_t, kChannels> detectedIdCounts_{};

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
    // Owned for the object's whole life, so pins and clock survive until it opens.
    FtdiInterfaceClass ftdi_;
    std::unique_ptr<LptPortClass> lptPort_;
    dravio::CDravio usbDevice_;
    dravio::CDravioReadThread usbIn_;
    dravio::CDravioWriteThread usbOut_;

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
