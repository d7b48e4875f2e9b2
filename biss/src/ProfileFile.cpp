// Slave profile files ("*profile*.xml"): devices by patterns over the 16-bit
// BiSS profile identifier, each with the layout of one data channel.
#include <wx/textfile.h>

#include "IdFileWalk.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

class ProfileFileWalk : private IdFileWalk {
public:
    ProfileFileWalk(BissMasterClass &master, wxTextFile &file, const BissMasterClass::IdentificationBytes &id,
                    uint8_t baseChannel)
        : IdFileWalk(master, file, id, baseChannel, FileKind::kProfile)
    {
    }

    bool Run();

private:
    // Devices up to the end of the description; false when the file ends
    // without it (the slave is then named unknown).
    bool ReadDevices();
    void ReadDeviceContent();
    void ReadChannelDescription();
    void ReadLength();
    bool Finish();

    bool inProfile_ = false;
};

bool ProfileFileWalk::Run()
{
    if (!ReadUntil(wxS("*<BiSS-Identifier*>*")))
        return false;
    do {
        if (!ReadUntil(wxS("*<Profile>*"))) {
            // Lines after a description that was read end the search, not the read.
            if (inProfile_)
                return Finish();
            master_.NameUnknownSlave(0, base_, false, id_);
            return false;
        }
        inProfile_ = true;
        master_.SetChannelLabel(base_, BissMasterClass::kSlaveLabel, std::string(), 0,
                                BissParamClass::kDetectedTable);
        master_.ClearSlaveLabelParts(base_);
        if (!ReadDevices()) {
            master_.NameUnknownSlave(0, base_, true, id_);
            return false;
        }
    } while (!AtEnd());
    return Finish();
}

bool ProfileFileWalk::ReadDevices()
{
    for (;;) {
        for (;;) {
            if (Is(wxS("*<Device>*"))) {
                ++depth_;
                break;
            }
            if (Is(wxS("*</Device>*")))
                --depth_;
            if (Is(wxS("*</BiSS-Identifier>*")))
                return true;
            if (AtEnd())
                return false;
            Next();
        }
        if (ReadIdBlock()) {
            ReadDeviceContent();
        } else {
            if (!SkipDevice())
                return true;
            if (depth_ > 0)
                ReadDeviceContent();
            else
                Next();
        }
        if (AtEnd())
            return true;
    }
}

void ProfileFileWalk::ReadDeviceContent()
{
    deviceParsed_ = false;
    bool closed = false;
    do {
        Next();
        if (Is(wxS("*<Label*>*"))) {
            ReadSlaveLabelPart();
        } else if (Is(wxS("*<SCDS>*"))) {
            ReadChannelDescription();
        } else if (Is(wxS("*</Device>"))) {
            --depth_;
            closed = depth_ == 0;
            deviceParsed_ = true;
        }
    } while (!AtEnd() && !closed && !Is(wxS("*<Device>*")));
    // The closing line is taken: the device search goes on behind it.
    if (closed)
        Next();
}

void ProfileFileWalk::ReadChannelDescription()
{
    do {
        Next();
        if (Is(wxS("*<Length*>*")))
            ReadLength();
        else if (Has(wxS("<CrcPoly>")))
            SetDetectedFrame(base_, eBISS_FP_CRC_POLY, ElementNumber(wxS("</CrcPoly>")));
        else if (Is(wxS("*<Label*>*")))
            ReadContentItem(0);
    } while (!Is(wxS("*</SCDS>*")) && !AtEnd());
}

void ProfileFileWalk::ReadLength()
{
    SetProtocol(0);
    SetDetectedFrame(base_, eBISS_FP_CRC_INVERT, 1);
    const uint32_t value = Has(wxS("source=\"id\"")) ? IdField() : ElementNumber(wxS("</Length>"));
    const uint32_t current = DetectedFrame(base_, eBISS_FP_SCD_LENGTH);
    if (Has(wxS("type=\"incremental\""))) {
        SetDetectedFrame(base_, eBISS_FP_SCD_LENGTH, current + value);
        runningLength_ = value;
    } else if (Has(wxS("type=\"decremental\""))) {
        if (current < value) {
            runningLength_ = current;
            SetDetectedFrame(base_, eBISS_FP_SCD_LENGTH, 0);
        } else {
            runningLength_ -= value;
            SetDetectedFrame(base_, eBISS_FP_SCD_LENGTH, current - value);
        }
    } else {
        runningLength_ = value;
        SetDetectedFrame(base_, eBISS_FP_SCD_LENGTH, value);
    }
}

bool ProfileFileWalk::Finish()
{
    if (!deviceParsed_) {
        master_.NameUnknownSlave(0, base_, true, id_);
        return false;
    }
    const std::string device =
        master_.GetChannelLabel(base_, BissMasterClass::kSlaveLabel, BissParamClass::kDetectedTable);
    master_.SetChannelLabel(base_, BissMasterClass::kCompleteLabel, "Device: " + device + "!", 0,
                            BissParamClass::kDetectedTable);
    return true;
}

} // namespace

bool BissMasterClass::ReadProfileFile(uint8_t /*slave*/, uint8_t baseChannel, const IdentificationBytes &id,
                                      wxTextFile &file)
{
    for (std::vector<ScdContentXmlClass> &list : fileContents_)
        list.clear();
    if (baseChannel >= kChannels)
        return false;
    file.GoToLine(0);
    try {
        return ProfileFileWalk(*this, file, id, baseChannel).Run();
    } catch (const ReadAbandoned &) {
        return false;
    }
}

} // namespace ferrolink
