#include "ContentLineReading.h"

#include <cwchar>

#include <wx/string.h>
#include <wx/textfile.h>

#include "BissMaster.h"

namespace ferrolink {

wxString BissMasterClass::NextContentLine(wxTextFile &file)
{
    // Empty and comment-only lines are skipped; at the last line the result
    // may be empty. Never reads past the last line.
    wxString line;
    while (!IsAtLastLine(file)) {
        line = file.GetNextLine();
        const int comment = line.Find(wxS("<!--"));
        if (comment != wxNOT_FOUND)
            line.Truncate(static_cast<size_t>(comment));
        line.Trim(true);
        if (!line.empty())
            break;
    }
    return line;
}

size_t BissMasterClass::FindRequired(const wxString &search, const wxString &line, size_t from)
{
    const size_t position = line.find(search, from);
    if (position == wxString::npos)
        throw ReadAbandoned{};
    return position;
}

bool BissMasterClass::ParseNumberText(const wxString &text, uint32_t *value)
{
    if (text.StartsWith(wxS("0b")))
        return ParseBinaryText(text.Mid(2), value);
    // Read as far as the digits go; no digits give 0.
    const bool hexadecimal = text.StartsWith(wxS("0x"));
    const wxString digits = hexadecimal ? text.Mid(2) : text;
    *value = static_cast<uint32_t>(std::wcstoul(digits.wc_str(), nullptr, hexadecimal ? 16 : 10));
    return false;
}

bool BissMasterClass::ParseBinaryText(const wxString &text, uint32_t *value)
{
    uint32_t result = 0;
    uint32_t weight = 1;
    for (size_t i = text.length(); i-- > 0; weight <<= 1) {
        const wxUniChar c = text[i];
        if (c < '0' || c > '9')
            continue;  // not a digit: counts as 0
        if (c > '1')
            return true;
        if (c == '1')
            result += weight;
    }
    *value = result;
    return false;
}

uint8_t BissMasterClass::ExtractIdBits(const IdentificationBytes &id, int start, uint8_t count, IdBitForm form)
{
    // Positions count from the top bit of byte 0; a bit number of the 16-bit
    // profile identifier is the position 15 - number, and the field runs down.
    const int bits = form == IdBitForm::kPosition ? static_cast<int>(id.size()) * 8 : 16;
    const int position = form == IdBitForm::kPosition ? start : 15 - start;
    if (position >= bits)
        return 0;
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int p = position + i;
        const uint32_t bit = p >= 0 && p < bits ? (id[static_cast<size_t>(p / 8)] >> (7 - p % 8)) & 1u : 0u;
        value = (value << 1) | bit;
    }
    return static_cast<uint8_t>(value);
}

} // namespace ferrolink
