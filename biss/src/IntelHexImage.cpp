#include "IntelHexImage.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr std::string_view kEndRecord = ":00000001FF";
constexpr const char *kLineEnd = "\r\n";
constexpr size_t kDataStart = 9;  // after ':', count, address and type

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// One line without its line end, cut one past the longest line accepted so a
// file with no line ends does not pile up in memory; false at the end of the file.
bool ReadLine(std::FILE *file, std::string *line)
{
    line->clear();
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') {
        if (line->size() <= IntelHexImage::kMaxLineLength + 1)
            line->push_back(static_cast<char>(c));
    }
    if (c == EOF && line->empty())
        return false;
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

bool IsEndRecord(std::string_view line)
{
    return line.size() >= kEndRecord.size() && line.substr(line.size() - kEndRecord.size()) == kEndRecord;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ParseHexByte(const char *text, uint8_t *value)
{
    const int high = HexDigit(text[0]);
    const int low = HexDigit(text[1]);
    if (high < 0 || low < 0)
        return false;
    *value = static_cast<uint8_t>(high * 16 + low);
    return true;
}

void AppendHexByte(std::string *text, uint8_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text->push_back(kDigits[value >> 4]);
    text->push_back(kDigits[value & 0xF]);
}

} // namespace

IntelHexImage::IntelHexImage() : bytes_(kCapacity, 0), present_(kCapacity, false) {}

void IntelHexImage::Put(uint32_t address, uint8_t value)
{
    bytes_[address] = value;
    present_[address] = true;
}

uint32_t IntelHexImage::PresentFromStart() const
{
    uint32_t count = 0;
    while (count < kCapacity && present_[count])
        ++count;
    return count;
}

int IntelHexImage::Read(const char *fileName)
{
    std::fill(bytes_.begin(), bytes_.end(), 0);
    std::fill(present_.begin(), present_.end(), false);

    const FilePtr file(std::fopen(fileName, "rb"));
    if (!file)
        return eBISS_FILE_NOT_FOUND;

    std::string line;
    bool first = true;
    while (ReadLine(file.get(), &line)) {
        if (line.size() > kMaxLineLength)
            return eBISS_FILE_FORMAT;
        if (IsEndRecord(line))
            return first ? eBISS_FILE_FORMAT : eBISS_NO_ERROR;  // a file of no data is not an image
        first = false;
        const int result = ReadRecord(line.data(), line.size());
        if (result != eBISS_NO_ERROR)
            return result;
    }
    return eBISS_FILE_FORMAT;  // ended without the end record
}

// Each data record's bytes go to its own address, whatever its size and order.
int IntelHexImage::ReadRecord(const char *line, size_t length)
{
    uint8_t count, addressHigh, addressLow, type;
    if (length < kDataStart + 2 || line[0] != ':' || !ParseHexByte(line + 1, &count) ||
        !ParseHexByte(line + 3, &addressHigh) || !ParseHexByte(line + 5, &addressLow) ||
        !ParseHexByte(line + 7, &type) || type != 0)
        return eBISS_FILE_FORMAT;
    if (length < kDataStart + 2 * static_cast<size_t>(count) + 2)
        return eBISS_FILE_FORMAT;
    const uint32_t address = addressHigh * 256u + addressLow;
    if (address + count > kCapacity)
        return eBISS_FILE_FORMAT;

    uint8_t data[255];
    uint8_t sum = static_cast<uint8_t>(count + addressHigh + addressLow);
    for (uint32_t i = 0; i < count; ++i) {
        if (!ParseHexByte(line + kDataStart + 2 * i, &data[i]))
            return eBISS_FILE_FORMAT;
        sum = static_cast<uint8_t>(sum + data[i]);
    }
    uint8_t checksum;
    if (!ParseHexByte(line + kDataStart + 2 * count, &checksum) || checksum != static_cast<uint8_t>(-sum))
        return eBISS_FILE_FORMAT;

    for (uint32_t i = 0; i < count; ++i)
        Put(address + i, data[i]);
    return eBISS_NO_ERROR;
}

int IntelHexImage::Write(const char *fileName, uint32_t length) const
{
    length = std::min(length, kCapacity);
    std::string text;
    for (uint32_t address = 0; address < length; address += kRecordBytes) {
        const uint32_t count = std::min(kRecordBytes, length - address);
        const uint8_t addressHigh = static_cast<uint8_t>(address >> 8);
        const uint8_t addressLow = static_cast<uint8_t>(address);
        uint8_t sum = static_cast<uint8_t>(count + addressHigh + addressLow);
        text.push_back(':');
        AppendHexByte(&text, static_cast<uint8_t>(count));
        AppendHexByte(&text, addressHigh);
        AppendHexByte(&text, addressLow);
        AppendHexByte(&text, 0);
        for (uint32_t i = 0; i < count; ++i) {
            AppendHexByte(&text, bytes_[address + i]);
            sum = static_cast<uint8_t>(sum + bytes_[address + i]);
        }
        AppendHexByte(&text, static_cast<uint8_t>(-sum));
        text += kLineEnd;
    }
    text += kEndRecord;
    text += kLineEnd;

    std::FILE *file = std::fopen(fileName, "wb");
    if (file == nullptr)
        return eBISS_FILE_PERMISSION;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed ? eBISS_NO_ERROR : eBISS_FILE_PERMISSION;
}

} // namespace ferrolink
