#include "kr/md5.h"

#include <cstring>

namespace kr {

namespace {

constexpr uint32_t rotate_left(uint32_t value, int bits) noexcept
{
    return (value << bits) | (value >> (32 - bits));
}

constexpr uint32_t f(uint32_t x, uint32_t y, uint32_t z) noexcept { return (x & y) | (~x & z); }
constexpr uint32_t g(uint32_t x, uint32_t y, uint32_t z) noexcept { return (x & z) | (y & ~z); }
constexpr uint32_t h(uint32_t x, uint32_t y, uint32_t z) noexcept { return x ^ y ^ z; }
constexpr uint32_t i(uint32_t x, uint32_t y, uint32_t z) noexcept { return y ^ (x | ~z); }

template <uint32_t (*Mix)(uint32_t, uint32_t, uint32_t)>
inline void step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t x, int s, uint32_t t) noexcept
{
    a = b + rotate_left(a + Mix(b, c, d) + x + t, s);
}

void decode(uint32_t (&words)[16], const unsigned char* block) noexcept
{
    for (int n = 0; n < 16; ++n) {
        const unsigned char* p = block + n * 4;
        words[n] = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
}

void encode(unsigned char* bytes, const uint32_t* words, size_t count) noexcept
{
    for (size_t n = 0; n < count; ++n) {
        bytes[n * 4] = static_cast<unsigned char>(words[n]);
        bytes[n * 4 + 1] = static_cast<unsigned char>(words[n] >> 8);
        bytes[n * 4 + 2] = static_cast<unsigned char>(words[n] >> 16);
        bytes[n * 4 + 3] = static_cast<unsigned char>(words[n] >> 24);
    }
}

} // namespace

void md5_context::init() noexcept
{
    count_[0] = count_[1] = 0;
    state_[0] = 0x67452301;
    state_[1] = 0xefcdab89;
    state_[2] = 0x98badcfe;
    state_[3] = 0x10325476;
}

void md5_context::update(const void* bytes, size_t count) noexcept
{
    if (count == 0)
        return;
    const auto* input = static_cast<const unsigned char*>(bytes);
    size_t index = (count_[0] >> 3) & 0x3F;

    const uint64_t bits = static_cast<uint64_t>(count) << 3;
    const uint32_t low = count_[0];
    count_[0] += static_cast<uint32_t>(bits);
    count_[1] += static_cast<uint32_t>(bits >> 32) + (count_[0] < low ? 1 : 0);

    const size_t room = 64 - index;
    size_t done = 0;
    if (count >= room) {
        memcpy(buffer_ + index, input, room);
        transform(buffer_);
        for (done = room; done + 63 < count; done += 64)
            transform(input + done);
        index = 0;
    }
    memcpy(buffer_ + index, input + done, count - done);
}

void md5_context::final(unsigned char (&digest)[digest_size]) noexcept
{
    static const unsigned char padding[64] = {0x80};
    unsigned char bits[8];
    encode(bits, count_, 2);

    const size_t index = (count_[0] >> 3) & 0x3F;
    const size_t pad_length = index < 56 ? 56 - index : 120 - index;
    update(padding, pad_length);
    update(bits, 8);
    encode(digest, state_, 4);

    volatile unsigned char* wipe = reinterpret_cast<volatile unsigned char*>(this);
    for (size_t n = 0; n < sizeof(*this); ++n)
        wipe[n] = 0;
}

void md5_context::transform(const unsigned char* block) noexcept
{
    uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    uint32_t x[16];
    decode(x, block);

    step<f>(a, b, c, d, x[0], 7, 0xd76aa478);
    step<f>(d, a, b, c, x[1], 12, 0xe8c7b756);
    step<f>(c, d, a, b, x[2], 17, 0x242070db);
    step<f>(b, c, d, a, x[3], 22, 0xc1bdceee);
    step<f>(a, b, c, d, x[4], 7, 0xf57c0faf);
    step<f>(d, a, b, c, x[5], 12, 0x4787c62a);
    step<f>(c, d, a, b, x[6], 17, 0xa8304613);
    step<f>(b, c, d, a, x[7], 22, 0xfd469501);
    step<f>(a, b, c, d, x[8], 7, 0x698098d8);
    step<f>(d, a, b, c, x[9], 12, 0x8b44f7af);
    step<f>(c, d, a, b, x[10], 17, 0xffff5bb1);
    step<f>(b, c, d, a, x[11], 22, 0x895cd7be);
    step<f>(a, b, c, d, x[12], 7, 0x6b901122);
    step<f>(d, a, b, c, x[13], 12, 0xfd987193);
    step<f>(c, d, a, b, x[14], 17, 0xa679438e);
    step<f>(b, c, d, a, x[15], 22, 0x49b40821);

    step<g>(a, b, c, d, x[1], 5, 0xf61e2562);
    step<g>(d, a, b, c, x[6], 9, 0xc040b340);
    step<g>(c, d, a, b, x[11], 14, 0x265e5a51);
    step<g>(b, c, d, a, x[0], 20, 0xe9b6c7aa);
    step<g>(a, b, c, d, x[5], 5, 0xd62f105d);
    step<g>(d, a, b, c, x[10], 9, 0x02441453);
    step<g>(c, d, a, b, x[15], 14, 0xd8a1e681);
    step<g>(b, c, d, a, x[4], 20, 0xe7d3fbc8);
    step<g>(a, b, c, d, x[9], 5, 0x21e1cde6);
    step<g>(d, a, b, c, x[14], 9, 0xc33707d6);
    step<g>(c, d, a, b, x[3], 14, 0xf4d50d87);
    step<g>(b, c, d, a, x[8], 20, 0x455a14ed);
    step<g>(a, b, c, d, x[13], 5, 0xa9e3e905);
    step<g>(d, a, b, c, x[2], 9, 0xfcefa3f8);
    step<g>(c, d, a, b, x[7], 14, 0x676f02d9);
    step<g>(b, c, d, a, x[12], 20, 0x8d2a4c8a);

    step<h>(a, b, c, d, x[5], 4, 0xfffa3942);
    step<h>(d, a, b, c, x[8], 11, 0x8771f681);
    step<h>(c, d, a, b, x[11], 16, 0x6d9d6122);
    step<h>(b, c, d, a, x[14], 23, 0xfde5380c);
    step<h>(a, b, c, d, x[1], 4, 0xa4beea44);
    step<h>(d, a, b, c, x[4], 11, 0x4bdecfa9);
    step<h>(c, d, a, b, x[7], 16, 0xf6bb4b60);
    step<h>(b, c, d, a, x[10], 23, 0xbebfbc70);
    step<h>(a, b, c, d, x[13], 4, 0x289b7ec6);
    step<h>(d, a, b, c, x[0], 11, 0xeaa127fa);
    step<h>(c, d, a, b, x[3], 16, 0xd4ef3085);
    step<h>(b, c, d, a, x[6], 23, 0x04881d05);
    step<h>(a, b, c, d, x[9], 4, 0xd9d4d039);
    step<h>(d, a, b, c, x[12], 11, 0xe6db99e5);
    step<h>(c, d, a, b, x[15], 16, 0x1fa27cf8);
    step<h>(b, c, d, a, x[2], 23, 0xc4ac5665);

    step<i>(a, b, c, d, x[0], 6, 0xf4292244);
    step<i>(d, a, b, c, x[7], 10, 0x432aff97);
    step<i>(c, d, a, b, x[14], 15, 0xab9423a7);
    step<i>(b, c, d, a, x[5], 21, 0xfc93a039);
    step<i>(a, b, c, d, x[12], 6, 0x655b59c3);
    step<i>(d, a, b, c, x[3], 10, 0x8f0ccc92);
    step<i>(c, d, a, b, x[10], 15, 0xffeff47d);
    step<i>(b, c, d, a, x[1], 21, 0x85845dd1);
    step<i>(a, b, c, d, x[8], 6, 0x6fa87e4f);
    step<i>(d, a, b, c, x[15], 10, 0xfe2ce6e0);
    step<i>(c, d, a, b, x[6], 15, 0xa3014314);
    step<i>(b, c, d, a, x[13], 21, 0x4e0811a1);
    step<i>(a, b, c, d, x[4], 6, 0xf7537e82);
    step<i>(d, a, b, c, x[11], 10, 0xbd3af235);
    step<i>(c, d, a, b, x[2], 15, 0x2ad7d2bb);
    step<i>(b, c, d, a, x[9], 21, 0xeb86d391);

    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}

_stringx md5_text(const unsigned char (&digest)[md5_context::digest_size])
{
    _stringx text;
    text.format(L"%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X%02X", digest[0], digest[1],
                digest[2], digest[3], digest[4], digest[5], digest[6], digest[7], digest[8], digest[9], digest[10],
                digest[11], digest[12], digest[13], digest[14], digest[15]);
    return text;
}

} // namespace kr
