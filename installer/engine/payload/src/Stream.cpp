#include "payload/Stream.h"

#include "payload/Descramble.h"
#include "payload/PayloadOffset.h"

#include "StreamInflate.h"

#include <cstring>
#include <cwchar>
#include <vector>

namespace {

constexpr wchar_t kMagicFormat1[] = L"Korvanstilmer";
constexpr wchar_t kMagicLater[] = L"VIVezozArazov";
constexpr DWORD kMagicLength = 13;
constexpr DWORD kNameFieldV1 = 260;

inline WORD ReadWord(const unsigned char* at) noexcept
{
    return static_cast<WORD>(at[0] | (at[1] << 8));
}

inline DWORD ReadDword(const unsigned char* at) noexcept
{
    return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 8) | (static_cast<DWORD>(at[2]) << 16) |
           (static_cast<DWORD>(at[3]) << 24);
}

std::string NarrowName(const _stringx& name, UINT code_page)
{
    const int length = static_cast<int>(name.length());
    if (length == 0)
        return {};
    const int needed = WideCharToMultiByte(code_page, 0, name.c_str(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return {};
    std::string text(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(code_page, 0, name.c_str(), length, text.data(), needed, nullptr, nullptr);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

HANDLE OpenProgramFile(const _stringx& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::string StreamFileEntry::AnsiName() const
{
    return NarrowName(name, CP_THREAD_ACP);
}

std::string StreamFileEntry::GetKeyText() const
{
    if (format >= 3 && compressed()) {
        if (!utf8_name_)
            utf8_name_ = std::make_unique<std::string>(NarrowName(name, CP_UTF8));
        return *utf8_name_;
    }
    return AnsiName();
}

STREAM::STREAM(const _stringx& path) : path_(path)
{
    offset_ = FindPayloadOffset(path_.c_str(), true);

    HANDLE opened = OpenProgramFile(path_);
    if (opened == INVALID_HANDLE_VALUE) {
        RecordError(GetLastError());
        return;
    }
    file_.reset(opened);
    open_ = true;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file_.get(), &size))
        file_size_ = static_cast<ULONGLONG>(size.QuadPart);

    LONG high = 0;
    if (SeekFile(file_.get(), static_cast<LONG>(offset_), &high, FILE_BEGIN) == 0)
        return;

    unsigned char header[header_size];
    if (!ReadHeader(header)) {
        format_ = 3;
        entry_size_ = entry_size_v2;
        return;
    }
    format_ = CheckHeader(header);
    has_header_ = format_ != 0;
    WORD count = ReadWord(header + 14);
    if (format_ == 0 || count == 0) {
        // No container at the first place: the certificate may lie between image and container.
        format_ = 3;
        has_header_ = false;
        const DWORD second = FindPayloadOffset(path_.c_str(), false);
        if (second > offset_)
            offset_ = second;
        high = 0;
        if (SeekFile(file_.get(), static_cast<LONG>(offset_), &high, FILE_BEGIN) == 0 || !ReadHeader(header))
            return;
        const DWORD format = CheckHeader(header);
        count = ReadWord(header + 14);
        if (format == 0 || count == 0)
            return;
        format_ = format;
        has_header_ = true;
    }
    entry_size_ = format_ == 1 ? entry_size_v1 : entry_size_v2;
    if (has_header_)
        ReadFileTable(count);
}

STREAM::~STREAM() = default;

bool STREAM::ReadHeader(unsigned char* header)
{
    std::memset(header, 0, header_size);
    DWORD read = 0;
    if (!ReadFile(file_.get(), header, header_size, &read, nullptr)) {
        RecordError(GetLastError());
        return false;
    }
    return read != 0;
}

DWORD STREAM::CheckHeader(const unsigned char* header) const
{
    wchar_t magic[kMagicLength + 1] = {};
    const int converted = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(header), kMagicLength, magic,
                                              kMagicLength);
    if (converted != static_cast<int>(kMagicLength))
        return 0;
    if (std::wmemcmp(magic, kMagicFormat1, kMagicLength) == 0)
        return 1;
    if (std::wmemcmp(magic, kMagicLater, kMagicLength) == 0)
        return ReadDword(header + 16);
    return 0;
}

DWORD STREAM::SeekFile(HANDLE file, LONG offset, LONG* high, DWORD method)
{
    SetLastError(ERROR_SUCCESS);
    const DWORD position = SetFilePointer(file, offset, high, method);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
        RecordError(GetLastError());
        return 0;
    }
    return position;
}

void STREAM::ReadFileTable(WORD count)
{
    for (WORD i = 0; i < count; ++i) {
        StreamFileEntry entry;
        entry.format = format_;
        if (!ReadEntry(entry))
            return;
        LONG high = 0;
        const DWORD position = SeekFile(file_.get(), 0, &high, FILE_CURRENT);
        if (position == 0)
            return;
        if (high != 0) {
            // Data offsets are 32-bit.
            RecordError(ERROR_ARITHMETIC_OVERFLOW);
            return;
        }
        entry.data_offset = position;
        const DWORD stored = entry.stored_size;
        files_.emplace(entry.name, std::move(entry));
        high = 0;
        if (SeekFile(file_.get(), static_cast<LONG>(stored), &high, FILE_CURRENT) == 0)
            return;
    }
}

// One entry header (and, in the later formats, its name) at the kept handle's position.
bool STREAM::ReadEntry(StreamFileEntry& entry)
{
    unsigned char header[entry_size_v1] = {};
    const DWORD wanted = format_ == 1 ? entry_size_v1 : entry_size_v2;
    DWORD read = 0;
    if (!ReadFile(file_.get(), header, wanted, &read, nullptr)) {
        RecordError(GetLastError());
        return false;
    }
    if (read < wanted) {
        RecordError(ERROR_NO_MORE_ITEMS);
        return false;
    }
    if (format_ == 1) {
        const auto* name = reinterpret_cast<const char*>(header);
        entry.name = _stringx(name, strnlen(name, kNameFieldV1), CP_ACP);
        entry.flags = ReadDword(header + 260);
        entry.kept_word = ReadWord(header + 264);
        entry.stored_size = ReadDword(header + 268);
        entry.kept_first = ReadDword(header + 272);
        entry.kept_second = ReadDword(header + 276);
        entry.compression = ReadWord(header + 280);
        return true;
    }
    const DWORD name_length = ReadDword(header);
    entry.flags = ReadDword(header + 4);
    entry.kept_word = ReadWord(header + 8);
    entry.stored_size = ReadDword(header + 10);
    entry.kept_first = ReadDword(header + 14);
    entry.kept_second = ReadDword(header + 18);
    entry.compression = ReadWord(header + 22);

    // A name longer than what is left of the file cannot be whole: the table ends here.
    LONG high = 0;
    const DWORD position = SeekFile(file_.get(), 0, &high, FILE_CURRENT);
    const ULONGLONG here = (static_cast<ULONGLONG>(static_cast<DWORD>(high)) << 32) | position;
    if (here > file_size_ || name_length > file_size_ - here) {
        RecordError(ERROR_NO_MORE_ITEMS);
        return false;
    }
    std::vector<unsigned char> name(name_length);
    read = 0;
    if (name_length != 0 && !ReadFile(file_.get(), name.data(), name_length, &read, nullptr)) {
        RecordError(GetLastError());
        return false;
    }
    if (read < name_length) {
        RecordError(ERROR_NO_MORE_ITEMS);
        return false;
    }
    std::vector<wchar_t> units(name_length / 2);
    for (size_t u = 0; u < units.size(); ++u)
        units[u] = static_cast<wchar_t>(ReadWord(name.data() + 2 * u));
    entry.name = _stringx(units.data(), units.size());
    return true;
}

bool STREAM::FindStreamFile(const _stringx& name, const StreamFileEntry*& entry, DWORD& data_offset) const
{
    if (!open_)
        return false;
    const auto found = files_.find(name);
    if (found == files_.end())
        return false;
    entry = &found->second;
    data_offset = found->second.data_offset;
    return true;
}

int STREAM::ExtractStreamFile(const _stringx& name, const _stringx& target, IStreamProgress* progress)
{
    const StreamFileEntry* entry = nullptr;
    DWORD data_offset = 0;
    if (!FindStreamFile(name, entry, data_offset))
        return 0;
    return ExtractEntry(*entry, data_offset, target, progress);
}

int STREAM::ExtractEntry(const StreamFileEntry& entry, DWORD data_offset, const _stringx& target,
                         IStreamProgress* progress)
{
    if (!open_)
        return 0;
    kr::handle_holder source;
    {
        HANDLE opened = OpenProgramFile(path_);
        if (opened == INVALID_HANDLE_VALUE) {
            RecordError(GetLastError());
            return 0;
        }
        source.reset(opened);
    }
    LONG high = 0;
    if (SeekFile(source.get(), static_cast<LONG>(data_offset), &high, FILE_BEGIN) == 0)
        return 0;
    if (progress && progress->OnProgress(0, entry.stored_size))
        return 0;

    int result = entry.compressed() ? InflateEntry(entry, source.get(), target, progress)
                                    : CopyEntry(entry, source.get(), target, progress);
    source.close();
    if (result == 1 && entry.scrambled_whole())
        result = DescrambleExtractedFile(entry, target);
    return result;
}

int STREAM::CopyEntry(const StreamFileEntry& entry, HANDLE source, const _stringx& target,
                      IStreamProgress* progress)
{
    kr::handle_holder output;
    {
        HANDLE created = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr);
        if (created == INVALID_HANDLE_VALUE) {
            RecordError(GetLastError());
            return 0;
        }
        output.reset(created);
    }
    const std::string key_text = entry.scrambled_in_blocks() ? entry.AnsiName() : std::string();
    unsigned char piece[STREAM_SCRAMBLE_BLOCK];
    DWORD remaining = entry.stored_size;
    DWORD total = 0;
    int result = 1;
    while (remaining != 0) {
        const DWORD wanted = remaining < STREAM_SCRAMBLE_BLOCK ? remaining : STREAM_SCRAMBLE_BLOCK;
        DWORD read = 0;
        if (!ReadFile(source, piece, wanted, &read, nullptr)) {
            RecordError(GetLastError());
            result = 0;
            break;
        }
        if (read == 0) {
            // The program file ends inside the entry: what was written is not the whole file.
            RecordError(ERROR_HANDLE_EOF);
            result = 0;
            break;
        }
        if (entry.scrambled_in_blocks() && !DescrambleBuffer(piece, read, key_text, 0)) {
            RecordError(ERROR_INVALID_DATA);
            result = 0;
            break;
        }
        DWORD written = 0;
        if (!WriteFile(output.get(), piece, read, &written, nullptr) || written != read) {
            RecordError(written != read && GetLastError() == ERROR_SUCCESS ? ERROR_WRITE_FAULT : GetLastError());
            result = 0;
            break;
        }
        total += read;
        if (progress && progress->OnProgress(total, entry.stored_size)) {
            result = 0;
            break;
        }
        remaining -= read;
    }
    FlushFileBuffers(output.get());
    return result;
}

int STREAM::InflateEntry(const StreamFileEntry& entry, HANDLE source, const _stringx& target,
                         IStreamProgress* progress)
{
    StreamReadContext context;
    context.source = source;
    context.entry = &entry;
    context.progress = progress;
    if (entry.scrambled_in_blocks()) {
        context.key_text = entry.GetKeyText();
        if (context.key_text.empty()) {
            // A nameless entry has no key to descramble with.
            RecordError(ERROR_INVALID_DATA);
            return 0;
        }
    }
    const int outcome = InflateStreamFile(context, target);
    if (outcome > 0)
        RecordError(static_cast<DWORD>(outcome));
    return outcome == 0 ? 1 : 0;
}

int STREAM::DescrambleExtractedFile(const StreamFileEntry& entry, const _stringx& target)
{
    // A file left scrambled is not the file asked for: not reopening it is a failure.
    HANDLE opened = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        RecordError(GetLastError());
        return 0;
    }
    kr::handle_holder file(opened);
    if (DescrambleFile(file.get(), entry.AnsiName()))
        return 1;
    RecordError(GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_DATA);
    return 0;
}
