#include "LabelEscaping.h"

#include <cstdlib>

namespace ferrolink {
namespace {

struct NamedReference {
    const char *name;
    char character;
};

constexpr NamedReference kNamed[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

bool IsDigitOf(char c, int base)
{
    if (c >= '0' && c <= '9')
        return true;
    return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// A numeric reference "&#NNN;" or "&#xHH;" at text[at] of a byte value 1-255:
// its length, and the byte in *value; 0 when there is none.
size_t NumericReference(const std::string &text, size_t at, char *value)
{
    if (text.compare(at, 2, "&#") != 0)
        return 0;
    size_t digits = at + 2;
    int base = 10;
    if (digits < text.size() && (text[digits] == 'x' || text[digits] == 'X')) {
        base = 16;
        ++digits;
    }
    size_t end = digits;
    while (end < text.size() && end - digits < 4 && IsDigitOf(text[end], base))
        ++end;
    if (end == digits || end >= text.size() || text[end] != ';')
        return 0;
    const unsigned long code = std::strtoul(text.substr(digits, end - digits).c_str(), nullptr, base);
    if (code == 0 || code > 0xFF)
        return 0;
    *value = static_cast<char>(code);
    return end + 1 - at;
}

} // namespace

std::string EscapeLabelText(const std::string &text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '&')
            escaped += "&amp;";
        else if (c == '<')
            escaped += "&lt;";
        else if (c == '>')
            escaped += "&gt;";
        else if (byte < 0x20 || byte >= 0x7F)
            escaped += "&#" + std::to_string(byte) + ";";
        else
            escaped += c;
    }
    return escaped;
}

std::string UnescapeLabelText(const std::string &text)
{
    std::string plain;
    plain.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (text[at] == '&') {
            char value = 0;
            if (const size_t length = NumericReference(text, at, &value)) {
                plain += value;
                at += length;
                continue;
            }
            bool named = false;
            for (const NamedReference &reference : kNamed) {
                const std::string name = reference.name;
                if (text.compare(at, name.size(), name) == 0) {
                    plain += reference.character;
                    at += name.size();
                    named = true;
                    break;
                }
            }
            if (named)
                continue;
        }
        plain += text[at++];
    }
    return plain;
}

} // namespace ferrolink
