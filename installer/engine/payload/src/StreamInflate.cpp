#include "StreamInflate.h"

#include "payload/Descramble.h"

#include "kr/handle_holder.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kBlockSize = 0x4000;
constexpr int kShortWrite = -1;

// Ends the inflation however the loop is left.
class inflate_stream {
public:
    inflate_stream() noexcept { std::memset(&stream_, 0, sizeof(stream_)); }
    ~inflate_stream()
    {
        if (started_)
            inflateEnd(&stream_);
    }
    inflate_stream(const inflate_stream&) = delete;
    inflate_stream& operator=(const inflate_stream&) = delete;

    int start() noexcept
    {
        const int result = inflateInit2(&stream_, MAX_WBITS);
        started_ = result == Z_OK;
        return result;
    }
    z_stream* operator->() noexcept { return &stream_; }
    z_stream* get() noexcept { return &stream_; }

private:
    z_stream stream_;
    bool started_ = false;
};

} // namespace

bool ReadStreamBlock(unsigned char* buffer, DWORD wanted, DWORD* count, StreamReadContext* context)
{
    if (!context) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::memset(buffer, 0, wanted);
    DWORD read = 0;
    if (!ReadFile(context->source, buffer, wanted, &read, nullptr))
        return false;
    if (!context->key_text.empty()) {
        // Runs that end at the block boundaries of the stored data, each keyed from its place in its block.
        DWORD done = 0;
        while (done < read) {
            const DWORD in_block = (context->total + done) % STREAM_SCRAMBLE_BLOCK;
            DWORD run = STREAM_SCRAMBLE_BLOCK - in_block;
            if (run > read - done)
                run = read - done;
            DescrambleBuffer(buffer + done, run, context->key_text, in_block);
            done += run;
        }
    }
    context->total += read;
    *count = read;
    if (context->progress) {
        const DWORD stored = context->entry->stored_size;
        // The answer is not used: inflation cannot be cancelled once it has begun.
        context->progress->OnProgress(context->total < stored ? context->total : stored, stored);
    }
    return true;
}

int InflateStreamFile(StreamReadContext& context, const _stringx& target)
{
    inflate_stream stream;
    const int started = stream.start();
    if (started != Z_OK)
        return started;

    kr::handle_holder output;
    {
        HANDLE created = CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE)
            return static_cast<int>(GetLastError());
        output.reset(created);
    }

    std::vector<unsigned char> input(kBlockSize);
    std::vector<unsigned char> inflated(kBlockSize);
    int result = Z_OK;
    bool ended = false;
    while (!ended) {
        DWORD fetched = 0;
        if (!ReadStreamBlock(input.data(), kBlockSize, &fetched, &context)) {
            result = static_cast<int>(GetLastError() ? GetLastError() : ERROR_READ_FAULT);
            break;
        }
        if (fetched == 0)
            break;
        stream->next_in = input.data();
        stream->avail_in = fetched;
        do {
            stream->next_out = inflated.data();
            stream->avail_out = kBlockSize;
            int status = inflate(stream.get(), Z_NO_FLUSH);
            if (status == Z_NEED_DICT)
                status = Z_DATA_ERROR;
            if (status == Z_DATA_ERROR || status == Z_MEM_ERROR || status == Z_STREAM_ERROR) {
                result = status;
                break;
            }
            const DWORD produced = kBlockSize - stream->avail_out;
            DWORD written = 0;
            if (produced != 0) {
                if (!WriteFile(output.get(), inflated.data(), produced, &written, nullptr)) {
                    result = static_cast<int>(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
                    break;
                }
                if (written != produced) {
                    result = kShortWrite;
                    break;
                }
            }
            if (status == Z_STREAM_END) {
                ended = true;
                break;
            }
        } while (stream->avail_out == 0);
        if (result != Z_OK)
            break;
    }
    FlushFileBuffers(output.get());
    if (result == Z_OK && !ended)
        result = Z_DATA_ERROR;
    return result;
}
