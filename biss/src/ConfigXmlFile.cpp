// The library's configuration as a bisscfg.dtd document: communication
// parameters, and per data channel its labels, frame parameters and content
// labels with their bit lengths. Written in a fixed layout, one element per
// line, and read back line by line against that layout.
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include <wx/convauto.h>
#include <wx/log.h>
#include <wx/textfile.h>

#include "BissMaster.h"
#include "ContentLineReading.h"
#include "LabelEscaping.h"
#include "LinePattern.h"
#include "WxText.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

const wxString kRootEnd = wxS("*</BiSS-Configuration>*");

std::string HexValueLine(const char *indent, uint32_t value)
{
    char line[48];
    std::snprintf(line, sizeof line, "%s<Value>0x%.2X</Value>\n", indent, static_cast<unsigned>(value));
    return line;
}

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

// Line scanner over an opened configuration file; a missing required text
// abandons the load.
class ConfigReader {
public:
    ConfigReader(BissMasterClass &master, wxTextFile &file) : master_(master), file_(file) {}

    int Load();

private:
    void Next() { line_ = BissMasterClass::NextContentLine(file_); }
    bool AtEnd() const { return BissMasterClass::IsAtLastLine(file_); }
    bool Is(const wxString &pattern) const { return LineMatches(line_, pattern); }
    // Text between the first '>' and the closing tag; abandons when either is missing.
    wxString ElementText(const wxString &closingTag) const;
    uint32_t ElementNumber(const wxString &closingTag) const;
    // A label element's text as the writer held it.
    std::string LabelText(const wxString &closingTag) const
    {
        return UnescapeLabelText(NarrowText(ElementText(closingTag)));
    }

    void ReadComParams();
    int ReadChannel(uint32_t channel);

    BissMasterClass &master_;
    wxTextFile &file_;
    wxString line_;
};

wxString ConfigReader::ElementText(const wxString &closingTag) const
{
    const size_t start = BissMasterClass::FindRequired(wxS(">"), line_) + 1;
    const size_t end = BissMasterClass::FindRequired(closingTag, line_, start);
    return line_.Mid(start, end - start);
}

uint32_t ConfigReader::ElementNumber(const wxString &closingTag) const
{
    uint32_t value = 0;
    if (BissMasterClass::ParseNumberText(ElementText(closingTag), &value))
        throw ReadAbandoned{};
    return value;
}

int ConfigReader::Load()
{
    do
        Next();
    while (!Is(wxS("*<BiSS-Configuration*>*")) && !AtEnd());
    if (AtEnd())
        return eBISS_FILE_FORMAT;

    for (;;) {
        Next();
        if (Is(wxS("*<BISS_ComParamEnum>*")))
            break;
        if (Is(kRootEnd) || AtEnd())
            return eBISS_FILE_FORMAT;
    }
    ReadComParams();

    uint32_t channel = 0;
    for (;;) {
        Next();
        if (Is(kRootEnd)) {
            // The document must end here: whatever follows is read without effect.
            wxString last = line_;
            while (!AtEnd())
                last = BissMasterClass::NextContentLine(file_);
            return LineMatches(last, kRootEnd) ? eBISS_NO_ERROR : eBISS_FILE_FORMAT;
        }
        if (AtEnd())
            return eBISS_FILE_FORMAT;
        if (Is(wxS("*<Datachannel>*"))) {
            if (ReadChannel(channel) != eBISS_NO_ERROR)
                return eBISS_FILE_FORMAT;
            ++channel;
        }
    }
}

void ConfigReader::ReadComParams()
{
    // Refusals of read-only or unknown indices do not end the load.
    uint32_t index = 0;
    do {
        Next();
        if (Is(wxS("*<Value*>*")))
            master_.SetComParam(index++, ElementNumber(wxS("</Value>")));
    } while (!Is(wxS("*</BISS_ComParamEnum>*")) && !AtEnd());
}

int ConfigReader::ReadChannel(uint32_t channel)
{
    for (;;) {
        Next();
        if (Is(wxS("*<BISS_FrameParamEnum>*")))
            break;
        if (Is(kRootEnd) || AtEnd())
            return eBISS_FILE_FORMAT;
        if (Is(wxS("*<SlaveLabel>*")))
            master_.SetChannelLabel(channel, BissMasterClass::kSlaveLabel, LabelText(wxS("</SlaveLabel>")), 0,
                                    BissParamClass::kUserTable);
        else if (Is(wxS("*<ManufacturerLabel>*")))
            master_.SetChannelLabel(channel, BissMasterClass::kManufacturerLabel,
                                    LabelText(wxS("</ManufacturerLabel>")), 0, BissParamClass::kUserTable);
    }

    uint32_t index = 0;
    do {
        Next();
        if (Is(wxS("*<Value*>*")))
            master_.SetFrameParam(channel, index++, ElementNumber(wxS("</Value>")));
    } while (!Is(wxS("*</BISS_FrameParamEnum>*")) && !AtEnd());

    uint32_t item = 0;
    do {
        Next();
        if (Is(wxS("*<ContentLabel*>*"))) {
            wxString rest = line_;
            uint32_t bitLength = 0;
            const size_t length = rest.find(wxS("Len=\""));
            if (length != wxString::npos) {
                rest = rest.Mid(length + 5);
                bitLength = static_cast<uint32_t>(std::wcstoul(rest.wc_str(), nullptr, 10));
            }
            // Only the bit length is in the file: the item's other parameters stay.
            const ScdContentClass current = item < master_.ContentCount(channel, BissParamClass::kUserTable)
                                                ? master_.GetScdContentItem(channel, item, BissParamClass::kUserTable)
                                                : ScdContentClass{};
            master_.SetScdContentParams(channel, item, current.flag, bitLength, current.value3, current.value4);
            const size_t start = BissMasterClass::FindRequired(wxS(">"), rest) + 1;
            const size_t end = BissMasterClass::FindRequired(wxS("</ContentLabel>"), rest, start);
            const std::string label = UnescapeLabelText(NarrowText(rest.Mid(start, end - start)));
            master_.SetScdContentLabels(channel, item, label.c_str(), "");
            ++item;
        }
    } while (!Is(wxS("*</Datachannel>*")) && !Is(kRootEnd) && !AtEnd());
    master_.SetFrameParam(channel, eBISS_FP_CONTENT_COUNT, item);

    if (AtEnd() || Is(kRootEnd))
        return eBISS_FILE_FORMAT;
    return eBISS_NO_ERROR;
}

} // namespace

int BissMasterClass::SaveDllConfig(const char *fileName) const
{
    if (fileName == nullptr)
        return eBISS_INVALID_PARAMETER;

    std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                       "<!DOCTYPE BiSS-Configuration SYSTEM \"bisscfg.dtd\">\n"
                       "<BiSS-Configuration Version=\"1.0\">\n"
                       " <BISS_ComParamEnum>\n";
    for (uint32_t index = 0; index < BissParamClass::kComCount; ++index) {
        uint32_t value = 0;
        GetComParam(index, &value);
        text += HexValueLine("  ", value);
    }
    text += " </BISS_ComParamEnum>\n";

    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        const std::string slave = GetChannelLabel(channel, kSlaveLabel, BissParamClass::kUserTable);
        text += " <Datachannel>\n";
        text += "  <SlaveLabel>" + EscapeLabelText(slave.substr(0, slave.find(','))) + "</SlaveLabel>\n";
        text += "  <ManufacturerLabel>" +
                EscapeLabelText(GetChannelLabel(channel, kManufacturerLabel, BissParamClass::kUserTable)) +
                "</ManufacturerLabel>\n";
        text += "  <BISS_FrameParamEnum>\n";
        for (uint32_t index = 0; index < BissParamClass::kFrameCount; ++index)
            text += HexValueLine("   ", params_.Frame(channel, index));
        text += "  </BISS_FrameParamEnum>\n";
        const uint32_t count = ContentCount(channel, BissParamClass::kUserTable);
        for (uint32_t item = 0; item < count && item < contents_[channel].size(); ++item) {
            const ScdContentClass &content = contents_[channel][item];
            text += "  <ContentLabel Len=\"" + std::to_string(static_cast<int32_t>(content.bitLength)) + "\">" +
                    EscapeLabelText(content.label) + "</ContentLabel>\n";
        }
        text += " </Datachannel>\n";
    }
    text += "</BiSS-Configuration>\n";

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "wb"));
    if (!file)
        return eBISS_INVALID_PARAMETER;
    // A configuration that did not reach the disk is no success.
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    const bool closed = std::fclose(file.release()) == 0;
    return written && closed ? eBISS_NO_ERROR : eBISS_INVALID_PARAMETER;
}

int BissMasterClass::LoadDllConfig(const char *fileName)
{
    if (fileName == nullptr)
        return eBISS_INVALID_PARAMETER;
    wxLogNull quiet;  // a file that does not open is the caller's code 9, not a log message
    const wxString name = WideFileName(fileName);
    wxTextFile file(name);
    if (name.empty() || !file.Exists() || !file.Open(wxConvAuto()))
        return eBISS_FILE_NOT_FOUND;
    file.GoToLine(0);

    // A file that fails to load leaves the description as it was before the call.
    const BissParamClass params = params_;
    const uint32_t configuredChannels = configuredChannels_;
    const std::array<std::string, 3 * kChannels> labels = labels_;
    std::array<std::vector<ScdContentClass>, kChannels> contents = contents_;
    int result = eBISS_FILE_FORMAT;
    try {
        result = ConfigReader(*this, file).Load();
    } catch (const ReadAbandoned &) {
    }
    if (result != eBISS_NO_ERROR) {
        params_ = params;
        configuredChannels_ = configuredChannels;
        labels_ = labels;
        contents_ = std::move(contents);
    }
    return result;
}

} // namespace ferrolink
