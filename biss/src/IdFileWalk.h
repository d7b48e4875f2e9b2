// The reading state and the steps that the identifier and the profile file
// readers share: content lines, attributes and element values, the Id block
// that decides whether a device describes the slave, device skipping, slave
// label parts and content items.
#pragma once

#include <cstdint>

#include <wx/string.h>

#include "BissMaster.h"
#include "ContentLineReading.h"
#include "LinePattern.h"

class wxTextFile;

namespace ferrolink {

class IdFileWalk {
public:
    enum class FileKind { kIdentifier, kProfile };

    IdFileWalk(BissMasterClass &master, wxTextFile &file, const BissMasterClass::IdentificationBytes &id,
               uint8_t baseChannel, FileKind kind);

protected:
    // The next content line becomes the current line.
    void Next();
    // The current line is the last one (or the file has none).
    bool AtEnd() const;
    // The next read gives the current line again.
    void StepBack();
    // Reads lines until one matches the pattern (true) or the last line was read (false).
    bool ReadUntil(const wxString &pattern);
    bool Is(const wxString &pattern) const { return LineMatches(line_, pattern); }
    bool Has(const wxString &text) const { return line_.Contains(text); }

    // Value of name="value" in text, which is cut behind the closing quote;
    // false (text unchanged) when the attribute is absent.
    static bool TakeAttribute(wxString &text, const wxString &name, wxString *value);
    static uint32_t TakeDecimalAttribute(wxString &text, const wxString &name, uint32_t fallback);
    static uint32_t Decimal(const wxString &text);
    // Text of the current line between the first '>' and the closing tag.
    wxString ElementText(const wxString &closingTag) const;
    // That text as a number ("0x", "0b" or decimal); abandons the read when it does not parse.
    uint32_t ElementNumber(const wxString &closingTag) const;

    // The Id lines opening a device: true when the device describes the slave.
    bool ReadIdBlock();
    // Skips the device whose Id block did not match; false when the file ends inside it.
    bool SkipDevice();
    // The identification bit field a source="id" element takes at this point.
    uint8_t IdField() const;
    // A Label line of the device content: one part of the detected slave label.
    void ReadSlaveLabelPart();
    // A Label line of a section: one content item into the file item list.
    void ReadContentItem(uint32_t list);

    void SetDetectedFrame(uint32_t channel, uint32_t index, uint32_t value);
    uint32_t DetectedFrame(uint32_t channel, uint32_t index) const;
    void SetProtocol(uint32_t protocol);

    BissMasterClass &master_;
    wxTextFile &file_;
    const BissMasterClass::IdentificationBytes &id_;
    const uint8_t base_;
    const FileKind kind_;

    wxString line_;
    int depth_ = 0;
    bool deviceParsed_ = false;
    // Where the last Id line's comparison stopped, and its bit count.
    int bitPosition_ = 0;
    uint8_t rangeCount_ = 0;
    // Top bit number of the last Id line with a Range (profile files).
    int rangeTop_ = 15;
    // Length last set by a Length element; items without bits are placed by it.
    int64_t runningLength_ = 0;
    // One item object for the whole read: what an item does not set stays from the one before.
    ScdContentXmlClass item_;

private:
    bool MatchIdLine();
    bool HasIdBit(int position) const;
    uint8_t IdByte(int position) const;

    const int idWidth_;
};

} // namespace ferrolink
