// Extraction throughput of one 256 MiB zlib entry, against inflating the same
// zlib data in memory in the same process. Prints both and their ratio.

#include "PayloadFixtures.h"

#include "payload/Stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kEntrySize = 256u << 20;
constexpr size_t kChunk = 1u << 16;

// Text-like data that compresses about four to one.
void FillChunk(std::vector<unsigned char>& chunk, unsigned& state)
{
    for (size_t i = 0; i < chunk.size(); i += 64) {
        state = state * 1103515245u + 12345u;
        const int written = std::snprintf(reinterpret_cast<char*>(chunk.data() + i), 64,
                                          "parcel %08x staged from payload, offset %zu\n", state, i);
        for (size_t j = i + static_cast<size_t>(written); j < i + 64; ++j)
            chunk[j] = static_cast<unsigned char>('a' + (state >> 27));
    }
}

std::string Deflated()
{
    z_stream stream{};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    std::string out;
    std::vector<unsigned char> chunk(kChunk);
    std::vector<unsigned char> buffer(1u << 18);
    unsigned state = 1;
    for (size_t done = 0; done < kEntrySize; done += kChunk) {
        FillChunk(chunk, state);
        stream.next_in = chunk.data();
        stream.avail_in = static_cast<uInt>(chunk.size());
        const int flush = done + kChunk >= kEntrySize ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = buffer.data();
            stream.avail_out = static_cast<uInt>(buffer.size());
            deflate(&stream, flush);
            out.append(reinterpret_cast<char*>(buffer.data()), buffer.size() - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

double Seconds(LARGE_INTEGER start)
{
    LARGE_INTEGER now{};
    LARGE_INTEGER frequency{};
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PutDword(std::string& bytes, DWORD value)
{
    bytes.append(reinterpret_cast<const char*>(&value), 4);
}

void PutWord(std::string& bytes, WORD value)
{
    bytes.append(reinterpret_cast<const char*>(&value), 2);
}

} // namespace

TEST(PayloadBench, ExtractionAgainstRawInflate)
{
    const std::string deflated = Deflated();

    // The probe with a one-entry format-3 container behind it.
    TempFolder folder;
    std::string program = ReadBytes(BinPath(L"payload_probe.exe"));
    ASSERT_FALSE(program.empty());
    program.append("VIVezozArazov", 13);
    program.push_back('\0');
    PutWord(program, 1);
    PutDword(program, 3);
    program.append(26, '\0');
    const std::wstring name = L"big.bin";
    PutDword(program, static_cast<DWORD>(name.size() * 2));
    PutDword(program, 0);
    PutWord(program, 0);
    PutDword(program, static_cast<DWORD>(deflated.size()));
    PutDword(program, static_cast<DWORD>(kEntrySize));
    PutDword(program, 0);
    PutWord(program, 1);
    program.append(reinterpret_cast<const char*>(name.data()), name.size() * 2);
    program.append(deflated);
    const std::wstring packed = folder.file(L"packed.exe");
    ASSERT_TRUE(WriteBytes(packed, program));
    program.clear();
    program.shrink_to_fit();

    LARGE_INTEGER start{};
    QueryPerformanceCounter(&start);
    z_stream stream{};
    ASSERT_EQ(Z_OK, inflateInit(&stream));
    std::vector<unsigned char> out(0x4000);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    stream.avail_in = static_cast<uInt>(deflated.size());
    int status = Z_OK;
    size_t inflated = 0;
    while (status == Z_OK) {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        status = inflate(&stream, Z_NO_FLUSH);
        inflated += out.size() - stream.avail_out;
    }
    inflateEnd(&stream);
    const double raw = Seconds(start);
    ASSERT_EQ(Z_STREAM_END, status);
    ASSERT_EQ(kEntrySize, inflated);

    QueryPerformanceCounter(&start);
    STREAM payload(packed.c_str());
    ASSERT_EQ(1, payload.ExtractStreamFile(L"big.bin", folder.file(L"big.bin").c_str(), nullptr));
    const double extraction = Seconds(start);
    EXPECT_EQ(kEntrySize, FileSize(folder.file(L"big.bin")));
    DeleteFileW(folder.file(L"big.bin").c_str());

    const double mib = static_cast<double>(kEntrySize) / (1u << 20);
    std::printf("zlib entry of %.0f MiB (%.1f MiB stored)\n", mib, static_cast<double>(deflated.size()) / (1u << 20));
    std::printf("raw inflate:  %.2f s, %.0f MiB/s\n", raw, mib / raw);
    std::printf("extraction:   %.2f s, %.0f MiB/s\n", extraction, mib / extraction);
    std::printf("ratio (extraction throughput / raw inflate throughput): %.2f\n", raw / extraction);
    RecordProperty("ratio", std::to_string(raw / extraction));
}
