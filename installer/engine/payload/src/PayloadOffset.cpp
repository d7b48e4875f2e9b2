#include "payload/PayloadOffset.h"

#include "kr/handle_holder.h"

#include "MappedView.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr DWORD kNtHeadersSize = 248;          // IMAGE_NT_HEADERS32
constexpr DWORD kDebugEntrySize = 28;          // IMAGE_DEBUG_DIRECTORY
constexpr DWORD kFirstPage = 4096;

// Little-endian fields of a mapped block, read only inside its bounds.
class header_block {
public:
    header_block(const unsigned char* base, ULONGLONG size) noexcept : base_(base), size_(size) {}

    bool holds(ULONGLONG offset, ULONGLONG count) const noexcept
    {
        return offset <= size_ && count <= size_ - offset;
    }
    WORD word(ULONGLONG offset) const noexcept
    {
        return static_cast<WORD>(base_[offset] | (base_[offset + 1] << 8));
    }
    DWORD dword(ULONGLONG offset) const noexcept
    {
        return static_cast<DWORD>(base_[offset]) | (static_cast<DWORD>(base_[offset + 1]) << 8) |
               (static_cast<DWORD>(base_[offset + 2]) << 16) | (static_cast<DWORD>(base_[offset + 3]) << 24);
    }
    const unsigned char* at(ULONGLONG offset) const noexcept { return base_ + offset; }

private:
    const unsigned char* base_;
    ULONGLONG size_;
};

struct section_header {
    char name[9] = {};
    DWORD virtual_address = 0;
    DWORD raw_size = 0;
    DWORD raw_pointer = 0;
};

struct data_directory {
    DWORD address = 0;
    DWORD size = 0;
};

// Maps [offset, offset + count) of the file, the view starting at the
// allocation granularity below offset. Null when the range is not in the file.
class file_window {
public:
    file_window(HANDLE mapping, ULONGLONG file_size, ULONGLONG offset, ULONGLONG count)
    {
        if (offset > file_size || count > file_size - offset || count == 0)
            return;
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        const ULONGLONG start = offset - offset % info.dwAllocationGranularity;
        const ULONGLONG length = offset + count - start;
        view_ = mapped_view(MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(start >> 32),
                                          static_cast<DWORD>(start), static_cast<SIZE_T>(length)));
        if (view_)
            data_ = view_.get() + (offset - start);
    }

    const unsigned char* data() const noexcept { return data_; }

private:
    mapped_view view_;
    const unsigned char* data_ = nullptr;
};

bool SameSectionName(const section_header& section, const char* name)
{
    return _strnicmp(section.name, name, 8) == 0;
}

// The debug data stored behind the image's end: the directory is found in the
// ".debug" section that starts at its address, else inside ".rdata" or ".text".
ULONGLONG DebugDataBeyond(HANDLE mapping, ULONGLONG file_size, const section_header* sections, WORD count,
                          const data_directory& debug, ULONGLONG image_end)
{
    if (debug.address == 0)
        return 0;
    const section_header* holder = nullptr;
    ULONGLONG directory_offset = 0;
    for (WORD i = 0; i < count; ++i) {
        if (SameSectionName(sections[i], ".debug") && sections[i].virtual_address == debug.address) {
            holder = &sections[i];
            directory_offset = holder->raw_pointer;
            break;
        }
    }
    if (!holder) {
        for (const char* name : {".rdata", ".text"}) {
            for (WORD i = 0; i < count && !holder; ++i) {
                if (SameSectionName(sections[i], name))
                    holder = &sections[i];
            }
            if (holder)
                break;
        }
        if (!holder)
            return 0;
        // An address before the section would compute an offset outside it.
        if (debug.address < holder->virtual_address ||
            debug.address > static_cast<ULONGLONG>(holder->virtual_address) + holder->raw_size ||
            debug.size < kDebugEntrySize)
            return 0;
        directory_offset = static_cast<ULONGLONG>(debug.address) - holder->virtual_address + holder->raw_pointer;
    }
    const DWORD entries = debug.size / kDebugEntrySize;
    if (entries == 0)
        return 0;
    file_window window(mapping, file_size, directory_offset, static_cast<ULONGLONG>(entries) * kDebugEntrySize);
    if (!window.data())
        return 0;
    const header_block directory(window.data(), static_cast<ULONGLONG>(entries) * kDebugEntrySize);
    ULONGLONG beyond = 0;
    for (DWORD i = 0; i < entries; ++i) {
        const ULONGLONG entry = static_cast<ULONGLONG>(i) * kDebugEntrySize;
        const DWORD data_size = directory.dword(entry + 16);
        const DWORD data_pointer = directory.dword(entry + 24);
        if (static_cast<ULONGLONG>(data_pointer) + data_size > image_end)
            beyond += data_size;
    }
    return beyond;
}

} // namespace

DWORD FindPayloadOffset(const wchar_t* path, bool leave_certificate_out)
{
    kr::handle_holder file;
    {
        HANDLE opened = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (opened == INVALID_HANDLE_VALUE)
            return 0;
        file.reset(opened);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return 0;
    const auto file_size = static_cast<ULONGLONG>(size.QuadPart);
    if (file_size < 64) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return 0;
    }
    kr::handle_holder mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping.empty())
        return 0;

    const ULONGLONG first_length = file_size < kFirstPage ? file_size : kFirstPage;
    std::optional<file_window> headers;
    headers.emplace(mapping.get(), file_size, 0, first_length);
    if (!headers->data())
        return 0;
    header_block block(headers->data(), first_length);

    const DWORD nt = block.dword(60);
    if (block.word(0) != IMAGE_DOS_SIGNATURE || !block.holds(nt, kNtHeadersSize) ||
        block.dword(nt) != IMAGE_NT_SIGNATURE) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return 0;
    }
    const DWORD size_of_headers = block.dword(nt + 24 + 60);
    ULONGLONG mapped_length = first_length;
    if (size_of_headers > first_length && size_of_headers <= file_size) {
        headers.reset();
        headers.emplace(mapping.get(), file_size, 0, size_of_headers);
        if (!headers->data())
            return 0;
        mapped_length = size_of_headers;
        block = header_block(headers->data(), mapped_length);
    }

    const WORD section_count = block.word(nt + 6);
    const WORD optional_size = block.word(nt + 20);
    const ULONGLONG optional = nt + 24;
    const bool plus = block.word(optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const ULONGLONG directories = optional + (plus ? 112 : 96);
    const DWORD directory_count = block.dword(optional + (plus ? 108 : 92));
    auto directory = [&](DWORD index) {
        data_directory d;
        const ULONGLONG at = directories + 8ull * index;
        if (index < directory_count && at + 8 <= optional + optional_size && block.holds(at, 8)) {
            d.address = block.dword(at);
            d.size = block.dword(at + 4);
        }
        return d;
    };

    const ULONGLONG table = optional + optional_size;
    if (!block.holds(table, 40ull * section_count)) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return 0;
    }
    std::vector<section_header> sections(section_count);
    ULONGLONG image_end = size_of_headers;
    for (WORD i = 0; i < section_count; ++i) {
        const ULONGLONG at = table + 40ull * i;
        std::memcpy(sections[i].name, block.at(at), 8);
        sections[i].virtual_address = block.dword(at + 12);
        sections[i].raw_size = block.dword(at + 16);
        sections[i].raw_pointer = block.dword(at + 20);
        image_end += sections[i].raw_size;
    }

    const ULONGLONG debug = DebugDataBeyond(mapping.get(), file_size, sections.data(), section_count,
                                            directory(IMAGE_DIRECTORY_ENTRY_DEBUG), image_end);
    ULONGLONG offset = image_end + debug;
    if (!leave_certificate_out)
        offset += directory(IMAGE_DIRECTORY_ENTRY_SECURITY).size;
    if (offset > MAXDWORD) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(offset);
}
