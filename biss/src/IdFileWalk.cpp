#include "IdFileWalk.h"

#include <cstdio>
#include <cwchar>

#include <wx/textfile.h>

#include "WxText.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kLastItemPosition = BissMasterClass::kMaxContentItems - 1;

// Hexadecimal value of one character; 0 for any other.
uint32_t HexDigit(wxUniChar c)
{
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c.GetValue() - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<uint32_t>(c.GetValue() - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<uint32_t>(c.GetValue() - 'A' + 10);
    return 0;
}

} // namespace

IdFileWalk::IdFileWalk(BissMasterClass &master, wxTextFile &file, const BissMasterClass::IdentificationBytes &id,
                       uint8_t baseChannel, FileKind kind)
    : master_(master), file_(file), id_(id), base_(baseChannel), kind_(kind),
      idWidth_(kind == FileKind::kIdentifier ? 48 : 16)
{
}

void IdFileWalk::Next()
{
    line_ = BissMasterClass::NextContentLine(file_);
}

bool IdFileWalk::AtEnd() const
{
    return BissMasterClass::IsAtLastLine(file_);
}

void IdFileWalk::StepBack()
{
    if (file_.GetCurrentLine() > 0)
        file_.GoToLine(file_.GetCurrentLine() - 1);
}

bool IdFileWalk::ReadUntil(const wxString &pattern)
{
    for (;;) {
        Next();
        if (Is(pattern))
            return true;
        if (AtEnd())
            return false;
    }
}

bool IdFileWalk::TakeAttribute(wxString &text, const wxString &name, wxString *value)
{
    const wxString opening = name + wxS("=\"");
    const size_t start = text.find(opening);
    if (start == wxString::npos)
        return false;
    const size_t first = start + opening.length();
    const size_t closing = BissMasterClass::FindRequired(wxS("\""), text, first);
    *value = text.Mid(first, closing - first);
    text = text.Mid(closing + 1);
    return true;
}

uint32_t IdFileWalk::TakeDecimalAttribute(wxString &text, const wxString &name, uint32_t fallback)
{
    wxString value;
    return TakeAttribute(text, name, &value) ? Decimal(value) : fallback;
}

uint32_t IdFileWalk::Decimal(const wxString &text)
{
    return static_cast<uint32_t>(std::wcstoul(text.wc_str(), nullptr, 10));
}

wxString IdFileWalk::ElementText(const wxString &closingTag) const
{
    const size_t start = BissMasterClass::FindRequired(wxS(">"), line_) + 1;
    const size_t end = BissMasterClass::FindRequired(closingTag, line_, start);
    return line_.Mid(start, end - start);
}

uint32_t IdFileWalk::ElementNumber(const wxString &closingTag) const
{
    uint32_t value = 0;
    if (BissMasterClass::ParseNumberText(ElementText(closingTag), &value))
        throw ReadAbandoned{};
    return value;
}

bool IdFileWalk::HasIdBit(int position) const
{
    // Identifier files may compare into the manufacturer bytes; profile files
    // know only their two bytes.
    const int bytes = kind_ == FileKind::kIdentifier ? static_cast<int>(id_.size()) : 2;
    return position >= 0 && position / 8 < bytes;
}

uint8_t IdFileWalk::IdByte(int position) const
{
    return HasIdBit(position) ? id_[static_cast<size_t>(position / 8)] : 0;
}

bool IdFileWalk::MatchIdLine()
{
    wxString rest = line_;
    const wxString range = wxS("Range=\"");
    const size_t rangeStart = rest.find(range);
    if (rangeStart != wxString::npos) {
        rest = rest.Mid(rangeStart + range.length());
        const size_t colon = BissMasterClass::FindRequired(wxS(":"), rest);
        const uint32_t top = Decimal(rest.Left(colon));
        rest = rest.Mid(colon);
        const size_t quote = BissMasterClass::FindRequired(wxS("\""), rest);
        const uint32_t bottom = Decimal(rest.Mid(1, quote - 1));
        // A range outside the identifier, or upside down, names no bits of the slave.
        if (top >= static_cast<uint32_t>(idWidth_) || top < bottom)
            return false;
        bitPosition_ = idWidth_ - 1 - static_cast<int>(top);
        rangeCount_ = static_cast<uint8_t>(top - bottom + 1);
        rangeTop_ = static_cast<int>(top);
    } else {
        bitPosition_ = 0;
        rangeCount_ = static_cast<uint8_t>(idWidth_);
    }

    // The value begins with a two-character prefix behind '>'.
    const size_t valueStart = BissMasterClass::FindRequired(wxS(">"), rest) + 3;
    const size_t valueEnd = BissMasterClass::FindRequired(wxS("</Id>"), rest);
    const wxString prefix = rest.Mid(valueStart - 2, 2);
    const bool hexadecimal = prefix == wxS("0x");
    const bool binary = prefix == wxS("0b");
    if (!hexadecimal && !binary)
        return true;  // a plain value compares nothing

    bool matched = true;
    for (size_t j = valueStart; j < valueEnd; ++j) {
        const wxUniChar c = rest[j];
        const uint32_t digit = HexDigit(c);
        if (hexadecimal) {
            // The first digit carries the bits of an incomplete nibble.
            int n = j == valueStart && rangeCount_ % 4 != 0 ? rangeCount_ % 4 : 4;
            // Digits beyond the identification bytes compare against nothing the slave has.
            if (!HasIdBit(bitPosition_) || !HasIdBit(bitPosition_ + n - 1))
                matched = false;
            const uint8_t byte = IdByte(bitPosition_);
            const uint32_t taken = bitPosition_ >= 0 && bitPosition_ % 8 < 4 ? byte >> 4 : byte;
            while (n-- > 0) {
                ++bitPosition_;
                if (((taken >> n) & 1u) != ((digit >> n) & 1u))
                    matched = false;
            }
        } else {
            ++bitPosition_;
            const int p = bitPosition_ - 1;
            if (c != '-' && (!HasIdBit(p) || ((IdByte(p) >> (7 - p % 8)) & 1u) != (digit & 1u)))
                matched = false;
        }
    }
    return matched;
}

bool IdFileWalk::ReadIdBlock()
{
    // Some Id line must match and no matching exclude line follow it; a
    // matching exclude line ends the block at once.
    bool deviceMatched = false;
    for (;;) {
        Next();
        if (!Is(wxS("*<Id*>*")))
            break;
        const bool lineMatched = MatchIdLine();
        if (lineMatched && Has(wxS("type=\"exclude\""))) {
            deviceMatched = false;
            break;
        }
        if (lineMatched)
            deviceMatched = true;
    }
    StepBack();
    return deviceMatched;
}

bool IdFileWalk::SkipDevice()
{
    --depth_;
    int open = 1;
    while (open > 0) {
        if (AtEnd())
            return false;
        Next();
        if (Is(wxS("*<Device>*")))
            ++open;
        else if (Is(wxS("*</Device>*")))
            --open;
    }
    return true;
}

uint8_t IdFileWalk::IdField() const
{
    if (kind_ == FileKind::kIdentifier)
        return BissMasterClass::ExtractIdBits(id_, bitPosition_, rangeCount_, BissMasterClass::IdBitForm::kPosition);
    return BissMasterClass::ExtractIdBits(id_, rangeTop_, rangeCount_, BissMasterClass::IdBitForm::kBitNumber);
}

void IdFileWalk::ReadSlaveLabelPart()
{
    wxString rest = line_;
    const uint32_t position = TakeDecimalAttribute(rest, wxS("Pos"), 0);
    const size_t start = BissMasterClass::FindRequired(wxS(">"), rest) + 1;
    const size_t end = BissMasterClass::FindRequired(wxS("</Label>"), rest, start);
    std::string text = NarrowText(rest.Mid(start, end - start));
    if (Has(wxS("source=\"append_id\"")))
        text += std::to_string(IdField());
    master_.SetChannelLabel(base_, BissMasterClass::kSlaveLabel, text, static_cast<uint8_t>(position),
                            BissParamClass::kDetectedTable);
}

void IdFileWalk::ReadContentItem(uint32_t list)
{
    wxString rest = line_;
    const uint32_t position = TakeDecimalAttribute(rest, wxS("Pos"), 0);
    if (position > kLastItemPosition)
        throw ReadAbandoned{};
    const bool zero = kind_ == FileKind::kIdentifier && rest.Contains(wxS("type=\"zero\""));
    item_.skip = zero || rest.Contains(wxS("type=\"unused\"")) ? 1 : 0;
    if (kind_ == FileKind::kIdentifier)
        item_.zero = zero ? 1 : 0;
    item_.offset = TakeDecimalAttribute(rest, wxS("Offset"), 0);
    wxString unit;
    item_.unit = TakeAttribute(rest, wxS("Unit"), &unit) ? NarrowText(unit) : std::string();
    rest = rest.Mid(BissMasterClass::FindRequired(wxS(">"), rest) + 1);

    std::vector<ScdContentXmlClass> &items = master_.FileContents(list);
    const size_t paren = rest.find(wxS("("));
    if (paren != wxString::npos) {
        const wxString label = rest.Left(paren);
        item_.label = NarrowText(label);
        const size_t colon = BissMasterClass::FindRequired(wxS(":"), rest, paren);
        const size_t close = BissMasterClass::FindRequired(wxS(")"), rest, colon);
        item_.topBit = static_cast<int32_t>(Decimal(rest.Mid(paren + 1, colon - paren - 1)));
        item_.bottomBit = static_cast<int32_t>(Decimal(rest.Mid(colon + 1, close - colon - 1)));
        // An item whose top bit lies below its bottom bit describes no bits.
        if (item_.topBit < item_.bottomBit)
            throw ReadAbandoned{};
        // A profile's single-turn item scales by the resolution the slave reports.
        if (kind_ == FileKind::kProfile && LineMatches(label, wxS("*ST*")))
            item_.scale = 1u << (id_[1] & 0x1F);
    } else {
        const std::string text = NarrowText(rest.Left(BissMasterClass::FindRequired(wxS("<"), rest)));
        item_.label = item_.skip != 0 && text.empty() ? "unused" : text;
        // An item named again continues the one before it by the running length.
        if (position < items.size() && items[position].label == item_.label) {
            item_.topBit = static_cast<int32_t>(items[position].topBit + runningLength_);
            item_.bottomBit = items[position].bottomBit;
        } else {
            item_.topBit = static_cast<int32_t>(runningLength_ - 1);
            item_.bottomBit = 0;
        }
    }
    if (items.size() <= position)
        items.resize(position + 1u);
    items[position] = item_;
}

void IdFileWalk::SetDetectedFrame(uint32_t channel, uint32_t index, uint32_t value)
{
    master_.Params().SetFrameParam(channel, index, value, BissParamClass::kDetectedTable);
}

uint32_t IdFileWalk::DetectedFrame(uint32_t channel, uint32_t index) const
{
    return master_.Params().Frame(channel, index, BissParamClass::kDetectedTable);
}

void IdFileWalk::SetProtocol(uint32_t protocol)
{
    master_.Params().SetComParam(eBISS_CP_PROTOCOL, protocol);
}

} // namespace ferrolink
