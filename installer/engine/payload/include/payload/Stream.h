#pragma once

// The setup stream: the container of named files written behind the
// launcher's own image. The table is read once, when the stream is made; each
// extraction opens its own handle on the program file.

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "kr/handle_holder.h"
#include "kr/stringx.h"

// Progress of one extraction. Only the first operation is ever called.
class IStreamProgress {
public:
    // Bytes done of the total; true cancels.
    virtual bool OnProgress(DWORD done, DWORD total) = 0;
    virtual void OnProgressIdle() {}

protected:
    ~IStreamProgress() = default;
};

// Flag bits of an entry.
constexpr DWORD STREAM_FLAG_SCRAMBLED_WHOLE = 0x2;
constexpr DWORD STREAM_FLAG_SCRAMBLED_BLOCKS = 0x4;
// Block-mode scrambling restarts its key position at every boundary of this size.
constexpr DWORD STREAM_SCRAMBLE_BLOCK = 1024;

// One file of the table.
class StreamFileEntry {
public:
    _stringx name;
    DWORD flags = 0;
    WORD kept_word = 0;
    DWORD stored_size = 0;
    DWORD kept_first = 0;
    DWORD kept_second = 0;
    WORD compression = 0;   // 0 stored, anything else zlib
    DWORD data_offset = 0;  // of the stored bytes in the program file
    DWORD format = 0;       // of the stream the entry was read from

    bool compressed() const noexcept { return compression != 0; }
    bool scrambled_in_blocks() const noexcept { return (flags & STREAM_FLAG_SCRAMBLED_BLOCKS) != 0; }
    bool scrambled_whole() const noexcept
    {
        return (flags & (STREAM_FLAG_SCRAMBLED_WHOLE | STREAM_FLAG_SCRAMBLED_BLOCKS)) == STREAM_FLAG_SCRAMBLED_WHOLE;
    }

    // The narrow name that keys the block-mode scrambling: UTF-8 on the
    // compressed path of format 3 and later (made once), else the name in the
    // thread's ANSI code page.
    std::string GetKeyText() const;
    // The name in the thread's ANSI code page.
    std::string AnsiName() const;

private:
    mutable std::unique_ptr<std::string> utf8_name_;
};

class STREAM {
public:
    static constexpr DWORD header_size = 46;
    static constexpr DWORD entry_size_v1 = 312;
    static constexpr DWORD entry_size_v2 = 24;

    using table = std::map<_stringx, StreamFileEntry, kr::less_nocase>;

    // Finds the container behind the program file's image and reads its table.
    // Never fails as such: a failure leaves the table empty.
    explicit STREAM(const _stringx& path);
    virtual ~STREAM();
    STREAM(const STREAM&) = delete;
    STREAM& operator=(const STREAM&) = delete;

    // False when the stream is not open or the name is absent (any case).
    bool FindStreamFile(const _stringx& name, const StreamFileEntry*& entry, DWORD& data_offset) const;
    // Writes the named file to target, creating or replacing it; the target's
    // folder must exist. 1 on success, 0 on failure.
    int ExtractStreamFile(const _stringx& name, const _stringx& target, IStreamProgress* progress);
    int ExtractEntry(const StreamFileEntry& entry, DWORD data_offset, const _stringx& target,
                     IStreamProgress* progress);

    // SetFilePointer that records a failure: the new position, or 0.
    DWORD SeekFile(HANDLE file, LONG offset, LONG* high, DWORD method);

    bool is_open() const noexcept { return open_; }
    const _stringx& path() const noexcept { return path_; }
    DWORD offset() const noexcept { return offset_; }
    DWORD last_error() const noexcept { return last_error_; }
    DWORD format() const noexcept { return format_; }
    bool has_header() const noexcept { return has_header_; }
    DWORD entry_size() const noexcept { return entry_size_; }
    const table& files() const noexcept { return files_; }

private:
    // Format of a 46-byte header: 1, the number it carries, or 0 for none.
    DWORD CheckHeader(const unsigned char* header) const;
    bool ReadHeader(unsigned char* header);
    void ReadFileTable(WORD count);
    bool ReadEntry(StreamFileEntry& entry);
    int CopyEntry(const StreamFileEntry& entry, HANDLE source, const _stringx& target, IStreamProgress* progress);
    int InflateEntry(const StreamFileEntry& entry, HANDLE source, const _stringx& target, IStreamProgress* progress);
    int DescrambleExtractedFile(const StreamFileEntry& entry, const _stringx& target);
    void RecordError(DWORD error) noexcept { last_error_ = error; }

    _stringx path_;
    kr::handle_holder file_;
    bool open_ = false;
    DWORD offset_ = 0;
    DWORD last_error_ = ERROR_SUCCESS;
    DWORD entry_size_ = entry_size_v2;
    DWORD format_ = 0;
    bool has_header_ = false;
    ULONGLONG file_size_ = 0;
    table files_;
};
