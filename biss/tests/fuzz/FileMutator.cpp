#include "FileMutator.h"

#include <algorithm>

namespace ferrolink_fuzz {
namespace {

enum Kind {
    kTruncate,
    kDropLine,
    kDuplicateLine,
    kSwapLines,
    kRandomBytes,
    kLongNumber,
    kLongLine,
    kDeepNesting,
    kByteOrderMark,
    kUtf16,
    kUtf16WithoutMark,
    kNul,
    kKinds
};

const char *const kNames[kKinds] = {"truncated", "line dropped", "line duplicated", "lines swapped",
                                    "random bytes", "long number", "long line", "deep nesting",
                                    "byte-order mark", "UTF-16", "UTF-16 without mark", "NUL bytes"};

std::string Join(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line;
    return text;
}

// Little-endian UTF-16 of single-byte text.
std::string Utf16(const std::string &text, bool mark)
{
    std::string wide = mark ? std::string("\xFF\xFE", 2) : std::string();
    for (const char c : text) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::vector<std::string> FileMutator::Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    return lines;
}

size_t FileMutator::Below(size_t limit)
{
    return limit == 0 ? 0 : std::uniform_int_distribution<size_t>(0, limit - 1)(random_);
}

std::string FileMutator::Digits(size_t count)
{
    std::string digits(1, static_cast<char>('1' + Below(9)));
    while (digits.size() < count)
        digits += static_cast<char>('0' + Below(10));
    return digits;
}

std::string FileMutator::LongLine()
{
    // Hundreds of kilobytes, inside an element the readers take apart, full of
    // near-matches of the closing tags they look for.
    static const char *const kFillers[] = {"</Devic", "<", "</Label", "x", "</ContentLabe", "<!-"};
    const std::string filler = kFillers[Below(std::size(kFillers))];
    const size_t length = 200 * 1024 + Below(200 * 1024);
    std::string text;
    while (text.size() < length)
        text += filler;
    // A closing tag far from where matching starts, and not at the end.
    text += "</Device>x";
    static const char *const kFrames[][2] = {{"   <Label Pos=\"1\">", "</Label>\n"},
                                             {"  <ContentLabel Len=\"8\">", "</ContentLabel>\n"},
                                             {"  <SlaveLabel>", "</SlaveLabel>\n"},
                                             {"", "\n"}};
    const auto &frame = kFrames[Below(std::size(kFrames))];
    return frame[0] + text + frame[1];
}

MutatedFile FileMutator::WithLongLine(const SeedFile &seed, size_t at, size_t length)
{
    std::vector<std::string> lines = Lines(seed.text);
    // Text that holds the closing tag far from its start, though not at its end.
    const std::string line = std::string(length, 'a') + "</Device>a";
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, lines.size())), line + "\n");
    return {"long line", Join(lines), seed.hexRecords};
}

MutatedFile FileMutator::Mutate(const SeedFile &seed)
{
    const Kind kind = static_cast<Kind>(Below(kKinds));
    MutatedFile file{kNames[kind], seed.text, false};
    std::vector<std::string> lines = Lines(seed.text);
    switch (kind) {
    case kTruncate: {
        const size_t at = Below(seed.text.size());
        file.bytes.resize(at);
        file.breaksFormat = at < seed.essentialEnd;
        break;
    }
    case kDropLine: {
        const size_t at = Below(lines.size());
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
        file.bytes = Join(lines);
        file.breaksFormat = seed.essentialLines.count(at) != 0;
        break;
    }
    case kDuplicateLine: {
        const size_t at = Below(lines.size());
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), lines[at]);
        file.bytes = Join(lines);
        break;
    }
    case kSwapLines:
        std::swap(lines[Below(lines.size())], lines[Below(lines.size())]);
        file.bytes = Join(lines);
        break;
    case kRandomBytes: {
        // One byte of a HEX file, so the change cannot cancel out in a checksum.
        const size_t count = seed.hexRecords ? 1 : 1 + Below(8);
        for (size_t i = 0; i < count; ++i) {
            const size_t at = Below(file.bytes.size());
            const char old = file.bytes[at];
            const char now = static_cast<char>(Below(256));
            file.bytes[at] = now;
            if (seed.hexRecords && old != '\r' && old != '\n' && old != now &&
                (old == ':' || HexValue(old) != HexValue(now)))
                file.breaksFormat = true;
        }
        break;
    }
    case kLongNumber: {
        // The first digit run of a random line becomes a number of 20 to 300 digits.
        const size_t at = Below(lines.size());
        std::string &line = lines[at];
        const size_t first = line.find_first_of("0123456789");
        if (first != std::string::npos) {
            const size_t last = line.find_first_not_of("0123456789", first);
            line.replace(first, (last == std::string::npos ? line.size() : last) - first, Digits(20 + Below(281)));
        }
        file.bytes = Join(lines);
        break;
    }
    case kLongLine: {
        const size_t at = Below(lines.size() + 1);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), LongLine());
        file.bytes = Join(lines);
        // No record is that long; behind the end record nothing is read.
        file.breaksFormat = seed.hexRecords && at < lines.size() - 1;
        break;
    }
    case kDeepNesting: {
        static const char *const kOpeners[] = {"<Device>\n", "<Datachannel>\n", "<SCDS Pos=\"1\">\n", "<Reg>\n"};
        const std::string opener = kOpeners[Below(std::size(kOpeners))];
        const size_t depth = 1000 + Below(4000);
        std::string nest;
        for (size_t i = 0; i < depth; ++i)
            nest += opener;
        const size_t at = Below(lines.size() + 1);
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), nest);
        file.bytes = Join(lines);
        file.breaksFormat = seed.hexRecords && at < lines.size() - 1;
        break;
    }
    case kByteOrderMark:
        file.bytes = "\xEF\xBB\xBF" + seed.text;
        file.breaksFormat = seed.hexRecords;  // the first record no longer starts with ':'
        break;
    case kUtf16:
        file.bytes = Utf16(seed.text, true);
        file.breaksFormat = seed.hexRecords;
        break;
    case kUtf16WithoutMark:
        // The XML readers may still recognise the encoding; the register image reader reads bytes.
        file.bytes = Utf16(seed.text, false);
        file.breaksFormat = seed.hexRecords;
        break;
    case kNul:
        for (size_t i = 1 + Below(4); i > 0; --i)
            file.bytes.insert(Below(file.bytes.size() + 1), 1, '\0');
        break;
    case kKinds:
        break;
    }
    return file;
}

} // namespace ferrolink_fuzz
