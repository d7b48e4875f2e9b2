// Slave auto-detection: the reset both ways start from, and the way with an
// identification file, where each slave's identification registers are read
// over the control channel and looked up in the file, and what the file says
// becomes that slave's data channels.
#include <wx/convauto.h>
#include <wx/file.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/textfile.h>

#include "SlaveDetection.h"
#include "WxText.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kSoftwareAccess = 0;
constexpr uint32_t kAssistedAccess = 1;
constexpr uint32_t kLastSlave = 7;
constexpr uint8_t kProfileRegister = 0x42;     // two bytes
constexpr uint8_t kIdentifierRegister = 0x78;  // eight bytes
// 64 data bits, channel in use; no CRC; the other two registers of the group 0.
constexpr uint32_t kOpenChannelConfig = 0x7F;
constexpr uint32_t kChannelGroups = 4;
constexpr uint32_t kLegacyBissBit = 0x80;
constexpr uint32_t kProtocolRegister = 0xED;
constexpr uint32_t kBissOnChannel0 = 1;
// A shadow entry no register value can equal.
constexpr uint32_t kUnknownShadow = 0xFFFFFFFF;

bool NameMatches(const wxString &fileName, const wxChar *pattern)
{
    return wxFileName(fileName).GetFullName().Matches(pattern);
}

bool IsProfileFile(const wxString &fileName) { return NameMatches(fileName, wxS("*profile*.xml")); }
bool IsIdentifierFile(const wxString &fileName) { return NameMatches(fileName, wxS("*idbiss*.xml")); }

} // namespace

int BissMasterClass::AutoDetection(const char *fileName, BISS_U32 *configuredChannels)
{
    if (fileName == nullptr || configuredChannels == nullptr)
        return eBISS_INVALID_PARAMETER;

    // Both descriptions start over; labels stay until something replaces them.
    params_.SetComParam(eBISS_CP_PROTOCOL, 0);
    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        for (uint32_t index : {6u, 0u, 1u, 2u, 7u}) {
            params_.SetFrameParam(channel, index, 0, BissParamClass::kUserTable);
            params_.SetFrameParam(channel, index, 0, BissParamClass::kDetectedTable);
        }
        ClearScdContent(channel, BissParamClass::kUserTable);
        if (ContentCount(channel, BissParamClass::kDetectedTable) != 0)
            ClearScdContent(channel, BissParamClass::kDetectedTable);
    }

    SlaveDetection detection(*this);
    if (*fileName == '\0')
        return detection.FromEds(configuredChannels);
    return detection.FromFile(WideFileName(fileName), configuredChannels);
}

int SlaveDetection::FromFile(const wxString &fileName, BISS_U32 *configuredChannels)
{
    int result = master_.WriteMasterParams(false);
    if (result != eBISS_NO_ERROR)
        return result;
    chip_ = master_.GetMasterInfo();
    channelLimit_ = chip_.channelLimit;
    // The library's own access needs one configured channel.
    master_.configuredChannels_ = 1;
    if ((result = master_.InitBissComm()) != eBISS_NO_ERROR)
        return result;
    for (uint32_t channel = 0; channel < BissMasterClass::kChannels; ++channel)
        master_.SetDetectedIdCount(channel, 1);

    const bool profileFile = IsProfileFile(fileName);
    const uint8_t firstRegister = profileFile ? kProfileRegister : kIdentifierRegister;
    const uint32_t idBytes = profileFile ? 2 : 8;

    // A slave may take more channels than one, and more slave positions than one.
    while (channel_ < channelLimit_ && channel_ < BissMasterClass::kChannels && slave_ <= kLastSlave) {
        for (uint32_t index : {0u, 1u, 2u})
            master_.Params().SetFrameParam(channel_, index, 0, BissParamClass::kDetectedTable);

        BissMasterClass::IdentificationBytes id{};
        for (uint32_t i = 0; i < idBytes; ++i) {
            bool answered = false;
            result = ReadIdentification(static_cast<uint8_t>(firstRegister + i), i == 0, &id[i], &answered);
            if (result != eBISS_NO_ERROR)
                return result;
            if (answered)
                continue;
            // The end of the chain; without a first slave there is nothing to configure.
            if (channel_ == 0) {
                master_.InitBissComm();
                return eBISS_REGISTER_COMM_FAILED;
            }
            result = Conclude(eBISS_NO_ERROR, configuredChannels);
            master_.InitBissComm();
            return result;
        }

        if ((result = LookUpSlave(fileName, profileFile, id)) != eBISS_NO_ERROR)
            return result;
        slave_ += master_.DetectedIdCount(channel_);
        ++channel_;
    }

    // The channels are used up: one more slave that answers is one too many.
    // It is asked the way the others answered; slaves that answer only the
    // master's access would never be found by the library's own.
    result = eBISS_NO_ERROR;
    if (slave_ < kLastSlave) {
        BISS_U32 count = 1;
        BISS_U32 value = 0;
        const uint32_t mode = masterAssisted_ ? kAssistedAccess : kSoftwareAccess;
        if (master_.ReadSlaveRegister(mode, slave_, firstRegister, &count, &value) == eBISS_NO_ERROR)
            result = eBISS_CHANNEL_COUNT_EXCEEDED;
    }
    return Conclude(result, configuredChannels);
}

int SlaveDetection::ReadIdentification(uint8_t address, bool firstOfSlave, uint8_t *value, bool *answered)
{
    BISS_U32 data = 0;
    int result = eBISS_REGISTER_COMM_FAILED;
    if (!masterAssisted_) {
        PrepareSoftwareAccess(firstOfSlave);
        BISS_U32 count = 1;
        result = master_.ReadSlaveRegister(kSoftwareAccess, slave_, address, &count, &data);
        if (result == eBISS_NO_ERROR) {
            accessKind_ = kSoftwareAccess;
        } else {
            master_.InitBissComm();
            if (result == eBISS_USB_CONNECTION)
                return result;
        }
    }
    if (result != eBISS_NO_ERROR) {
        // Once the master's own access was needed, it is used for the rest.
        masterAssisted_ = true;
        BISS_U32 count = 1;
        result = master_.ReadSlaveRegister(kAssistedAccess, slave_, address, &count, &data);
        if (result == eBISS_USB_CONNECTION)
            return result;
        if (result == eBISS_NO_ERROR)
            accessKind_ = kAssistedAccess;
    }
    *answered = result == eBISS_NO_ERROR;
    *value = static_cast<uint8_t>(data & 0xFF);
    return eBISS_NO_ERROR;
}

void SlaveDetection::PrepareSoftwareAccess(bool firstOfSlave)
{
    if (firstOfSlave) {
        // The FTDI adapter drives no fourth channel group.
        const uint32_t groups = master_.InterfaceType() == eBISS_IF_FTDI ? kChannelGroups - 1 : kChannelGroups;
        for (uint32_t group = 0; group < groups; ++group) {
            const uint32_t base = 0xC0 + 4 * group;
            WriteSetupRegister(base, kOpenChannelConfig);
            WriteSetupRegister(base + 1, 0);
            WriteSetupRegister(base + 2, 0);
            WriteSetupRegister(base + 3, 0);
        }
    }
    if (chip_.chipId == BissMasterClass::kLegacyChipId && chip_.revision == 0)
        WriteSetupRegister(0xC2, kLegacyBissBit);
    else
        WriteSetupRegister(kProtocolRegister, kBissOnChannel0);
}

void SlaveDetection::WriteSetupRegister(uint32_t address, uint32_t value)
{
    // A failed write shows in the read that follows. The register no longer
    // holds what the shadow says, so a later write of only the changed
    // registers must not skip it.
    master_.WriteMasterRegister(address, value);
    master_.shadow_[address] = kUnknownShadow;
}

int SlaveDetection::LookUpSlave(const wxString &fileName, bool profileFile,
                                const BissMasterClass::IdentificationBytes &id)
{
    wxLogNull quiet;  // a file that does not open is the caller's code, not a log message
    if (!wxFileName::FileExists(fileName))
        return eBISS_FILE_NOT_FOUND;
    if (!profileFile && !IsIdentifierFile(fileName))
        return eBISS_FILE_FORMAT;
    wxTextFile file;
    if (!file.Open(fileName, wxConvAuto())) {
        // Bytes that are no text are the file's fault; a file held by others is not.
        wxFile probe;
        return probe.Open(fileName) ? eBISS_FILE_FORMAT : eBISS_FILE_PERMISSION;
    }

    const auto slave = static_cast<uint8_t>(slave_);
    const auto channel = static_cast<uint8_t>(channel_);
    const bool described = profileFile ? master_.ReadProfileFile(slave, channel, id, file)
                                       : master_.ReadIdentifierFile(slave, channel, id, file);
    // A slave the file does not describe keeps its channel with the unknown-slave labels.
    if (described)
        TakeFileItems();
    return eBISS_NO_ERROR;
}

void SlaveDetection::TakeFileItems()
{
    // Sections by falling position: the highest takes the slave's first channel.
    for (uint32_t position = BissMasterClass::kChannels; position-- > 0;) {
        const std::vector<ScdContentXmlClass> &items = master_.FileContents(position);
        if (position != 0 && items.empty())
            continue;
        if (channel_ >= BissMasterClass::kChannels)
            return;
        master_.ResizeScdContent(channel_, static_cast<uint32_t>(items.size()), BissParamClass::kDetectedTable);
        if (items.empty())
            continue;
        uint32_t copied = 0;
        for (const ScdContentXmlClass &source : items) {
            if (source.label.empty())
                continue;
            ScdContentClass item;
            item.label = source.label;
            item.skip = source.skip;
            item.unit = source.unit;
            item.flag = source.zero;
            item.bitLength = static_cast<uint32_t>(int64_t{source.topBit} - source.bottomBit + 1);
            item.value3 = source.scale;
            item.value4 = source.offset;
            if (!master_.SetScdContentItem(channel_, copied, item, BissParamClass::kDetectedTable))
                break;
            ++copied;
        }
        master_.Params().SetFrameParam(channel_, eBISS_FP_CONTENT_COUNT, copied, BissParamClass::kDetectedTable);
        if (position != 0) {
            ++channel_;
            ++channelLimit_;
        }
    }
}

int SlaveDetection::Conclude(int result, BISS_U32 *configuredChannels)
{
    master_.Params().SetComParam(eBISS_CP_PROTOCOL, accessKind_);
    master_.AdoptDetectedChannels(channel_);
    *configuredChannels = master_.ConfiguredChannels();
    return result;
}

} // namespace ferrolink
