// Slave identifier files ("*idbiss*.xml"): manufacturers by their two-byte
// identifier, devices by patterns over the six-byte device identifier, and
// what the master needs to read a matching device.
#include <algorithm>
#include <cstdio>
#include <cwchar>

#include <wx/textfile.h>

#include "IdFileWalk.h"
#include "WxText.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

class IdentifierFileWalk : private IdFileWalk {
public:
    IdentifierFileWalk(BissMasterClass &master, wxTextFile &file, const BissMasterClass::IdentificationBytes &id,
                       uint8_t baseChannel)
        : IdFileWalk(master, file, id, baseChannel, FileKind::kIdentifier)
    {
    }

    bool Run();

private:
    bool FindMatchingManufacturer();
    bool ManufacturerMatches() const;
    void ReadManufacturerLabel();
    void ReadDeviceContent();
    void ReadSection();
    // A section above every earlier one takes the base channel: the channels
    // read so far move up by the distance, so each position keeps its own.
    void MakeRoomBelow(uint32_t distance);
    void ReadLength(uint32_t channel);
    void ReadRegisterSection();
    // What the end of the file leaves once the manufacturer matched.
    bool Finish();

    // Sections with falling positions occupy the base channel and those above it.
    uint32_t SectionChannel() const { return base_ + highestPosition_ - currentPosition_; }

    uint32_t highestPosition_ = 0;
    uint32_t currentPosition_ = 0;
};

bool IdentifierFileWalk::Run()
{
    if (!ReadUntil(wxS("*<BiSS-Identifier*>*")))
        return false;
    SetProtocol(1);
    if (!FindMatchingManufacturer())
        return false;
    ReadManufacturerLabel();
    Next();

    // Devices of this manufacturer and, as the search never looks for the
    // manufacturer's end, of the ones after it; the last matching device wins.
    for (;;) {
        for (;;) {
            if (Is(wxS("*<Device>*"))) {
                ++depth_;
                break;
            }
            if (Is(wxS("*</Device>*")))
                --depth_;
            if (Is(wxS("*</BiSS-Identifier>*")))
                return Finish();
            if (AtEnd()) {
                master_.NameUnknownSlave(0, base_, true, id_);
                return false;
            }
            Next();
        }
        if (ReadIdBlock()) {
            ReadDeviceContent();
        } else {
            if (!SkipDevice())
                return Finish();
            if (depth_ > 0)
                ReadDeviceContent();
            else
                Next();
        }
        if (AtEnd())
            return Finish();
    }
}

bool IdentifierFileWalk::FindMatchingManufacturer()
{
    for (;;) {
        for (;;) {
            Next();
            if (Is(wxS("*<Manufacturer Id=*>*")))
                break;
            if (Is(wxS("*</BiSS-Identifier>*")) || AtEnd()) {
                master_.NameUnknownSlave(0, base_, false, id_);
                SetProtocol(0);
                return false;
            }
        }
        if (ManufacturerMatches())
            return true;
        // Past this manufacturer, its own line included.
        while (!Is(wxS("*</Manufacturer>*"))) {
            if (Is(wxS("*</BiSS-Identifier>*")) || AtEnd()) {
                master_.NameUnknownSlave(0, base_, false, id_);
                return false;
            }
            Next();
        }
    }
}

bool IdentifierFileWalk::ManufacturerMatches() const
{
    const size_t quote = BissMasterClass::FindRequired(wxS("\""), line_);
    const auto hexByte = [&](size_t at) {
        return static_cast<uint32_t>(std::wcstoul(line_.Mid(at, 2).wc_str(), nullptr, 16));
    };
    return hexByte(quote + 1) == id_[6] && hexByte(quote + 3) == id_[7];
}

void IdentifierFileWalk::ReadManufacturerLabel()
{
    ReadUntil(wxS("*<Label>*"));
    master_.SetChannelLabel(base_, BissMasterClass::kManufacturerLabel, NarrowText(ElementText(wxS("</Label>"))), 0,
                            BissParamClass::kDetectedTable);
    master_.SetChannelLabel(base_, BissMasterClass::kSlaveLabel, std::string(), 0, BissParamClass::kDetectedTable);
    master_.ClearSlaveLabelParts(base_);
}

void IdentifierFileWalk::ReadDeviceContent()
{
    deviceParsed_ = false;
    bool closed = false;
    do {
        Next();
        if (Is(wxS("*<Label*>*"))) {
            ReadSlaveLabelPart();
        } else if (Is(wxS("*<Sens*>*")) || Is(wxS("*<SCDS*>*"))) {
            ReadSection();
        } else if (Is(wxS("*<Reg>*"))) {
            ReadRegisterSection();
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

void IdentifierFileWalk::ReadSection()
{
    if (Is(wxS("*<SCDS*>*"))) {
        SetProtocol(0);
        SetDetectedFrame(SectionChannel(), 4, 0);
        SetDetectedFrame(SectionChannel(), eBISS_FP_CRC_INVERT, 1);
    }
    wxString rest = line_;
    wxString position;
    if (IdFileWalk::TakeAttribute(rest, wxS("Pos"), &position)) {
        const uint32_t n = Decimal(position);
        // Every section's channel must lie within the master's eight.
        if (n >= BissMasterClass::kChannels || base_ + n >= BissMasterClass::kChannels)
            throw ReadAbandoned{};
        if (n > highestPosition_)
            MakeRoomBelow(n - highestPosition_);
        highestPosition_ = std::max(highestPosition_, n);
        currentPosition_ = n;
    } else {
        currentPosition_ = 0;
    }

    do {
        Next();
        const uint32_t channel = SectionChannel();
        if (Is(wxS("*<Length*>*"))) {
            ReadLength(channel);
        } else if (Has(wxS("<CrcPoly>"))) {
            SetDetectedFrame(channel, eBISS_FP_CRC_POLY, ElementNumber(wxS("</CrcPoly>")));
        } else if (Has(wxS("<InvCrc>"))) {
            SetDetectedFrame(channel, eBISS_FP_CRC_INVERT, Decimal(ElementText(wxS("</InvCrc>"))) & 1u);
        } else if (Is(wxS("*<CrcStart*>*"))) {
            const uint32_t start = Has(wxS("source=\"id\"")) ? IdField() : ElementNumber(wxS("</CrcStart>"));
            SetDetectedFrame(channel, eBISS_FP_CRC_START, start);
        } else if (Has(wxS("<Bissmod>"))) {
            SetProtocol((Decimal(ElementText(wxS("</Bissmod>"))) & 1u) != 0 ? 0 : 1);
        } else if (Is(wxS("*<Label*>*"))) {
            ReadContentItem(currentPosition_);
        }
    } while (!Is(wxS("*</Sens>*")) && !Is(wxS("*</SCDS>*")) && !AtEnd());
}

void IdentifierFileWalk::MakeRoomBelow(uint32_t distance)
{
    static constexpr uint32_t kMovedParams[] = {eBISS_FP_SCD_LENGTH, eBISS_FP_CRC_POLY, eBISS_FP_CRC_INVERT, 4, 6};
    for (uint32_t channel = base_ + highestPosition_ + 1; channel-- > base_;)
        for (uint32_t index : kMovedParams)
            SetDetectedFrame(channel + distance, index, DetectedFrame(channel, index));
    for (uint32_t channel = base_; channel < base_ + distance; ++channel)
        for (uint32_t index : kMovedParams)
            SetDetectedFrame(channel, index, 0);
}

void IdentifierFileWalk::ReadLength(uint32_t channel)
{
    const uint32_t value = Has(wxS("source=\"id\"")) ? IdField() : ElementNumber(wxS("</Length>"));
    const uint32_t current = DetectedFrame(channel, eBISS_FP_SCD_LENGTH);
    if (Has(wxS("type=\"incremental\""))) {
        SetDetectedFrame(channel, eBISS_FP_SCD_LENGTH, current + value);
        runningLength_ = value;
    } else if (Has(wxS("type=\"decremental\""))) {
        if (current < value) {
            runningLength_ = current;
            SetDetectedFrame(channel, eBISS_FP_SCD_LENGTH, 0);
        } else {
            runningLength_ = -static_cast<int64_t>(value);
            SetDetectedFrame(channel, eBISS_FP_SCD_LENGTH, current - value);
        }
    } else {
        runningLength_ = value;
        SetDetectedFrame(channel, eBISS_FP_SCD_LENGTH, value);
    }
}

void IdentifierFileWalk::ReadRegisterSection()
{
    // Only the slave positions a device takes are kept; the register CRC and
    // label lines are checked for their form.
    do {
        Next();
        if (Has(wxS("<IdUsed>"))) {
            master_.SetDetectedIdCount(SectionChannel(), ElementNumber(wxS("</IdUsed>")));
        } else if (Has(wxS("<CrcPoly Adr=\""))) {
            const size_t first = line_.find(wxS("Adr=\"")) + 5;
            BissMasterClass::FindRequired(wxS("\""), line_, first);
            ElementNumber(wxS("</CrcPoly>"));
        } else if (Has(wxS("<Label Adr=\""))) {
            const size_t first = line_.find(wxS("Adr=\"")) + 5;
            BissMasterClass::FindRequired(wxS("\""), line_, first);
        }
    } while (!Is(wxS("*</Reg>*")) && !AtEnd());
}

bool IdentifierFileWalk::Finish()
{
    if (!deviceParsed_) {
        master_.NameUnknownSlave(0, base_, true, id_);
        return false;
    }
    const std::string manufacturer =
        master_.GetChannelLabel(base_, BissMasterClass::kManufacturerLabel, BissParamClass::kDetectedTable);
    const std::string device =
        master_.GetChannelLabel(base_, BissMasterClass::kSlaveLabel, BissParamClass::kDetectedTable);
    const std::string complete = "Manufacturer: " + manufacturer + " / Device: " + device + "!";
    const uint32_t channel = base_ + highestPosition_;
    master_.ClearSlaveLabelParts(channel);
    master_.SetChannelLabel(channel, BissMasterClass::kCompleteLabel, complete, 0, BissParamClass::kDetectedTable);
    master_.SetChannelLabel(channel, BissMasterClass::kManufacturerLabel, manufacturer, 0,
                            BissParamClass::kDetectedTable);
    master_.SetChannelLabel(channel, BissMasterClass::kSlaveLabel, device, 0, BissParamClass::kDetectedTable);
    return true;
}

} // namespace

bool BissMasterClass::ReadIdentifierFile(uint8_t /*slave*/, uint8_t baseChannel, const IdentificationBytes &id,
                                         wxTextFile &file)
{
    for (std::vector<ScdContentXmlClass> &list : fileContents_)
        list.clear();
    if (baseChannel >= kChannels)
        return false;
    file.GoToLine(0);
    try {
        return IdentifierFileWalk(*this, file, id, baseChannel).Run();
    } catch (const ReadAbandoned &) {
        return false;
    }
}

void BissMasterClass::NameUnknownSlave(uint8_t /*slave*/, uint8_t baseChannel, bool manufacturerKnown,
                                       const IdentificationBytes &id)
{
    ClearSlaveLabelParts(baseChannel);
    if (manufacturerKnown) {
        const std::string manufacturer = GetChannelLabel(baseChannel, kManufacturerLabel, BissParamClass::kDetectedTable);
        SetChannelLabel(baseChannel, kCompleteLabel, "Manufacturer: " + manufacturer + " / Device unknown!", 0,
                        BissParamClass::kDetectedTable);
    } else {
        char complete[48];
        std::snprintf(complete, sizeof complete, "Unknown Manufacturer 0x%02X%02X!", id[6], id[7]);
        SetChannelLabel(baseChannel, kCompleteLabel, complete, 0, BissParamClass::kDetectedTable);
        SetChannelLabel(baseChannel, kManufacturerLabel, "Unknown Manufacturer", 0, BissParamClass::kDetectedTable);
    }
    SetChannelLabel(baseChannel, kSlaveLabel, "Unknown Device", 0, BissParamClass::kDetectedTable);
}

} // namespace ferrolink
