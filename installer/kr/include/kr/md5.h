#pragma once

// MD5 (RFC 1321) for checking staged files against the digests in setup.xml.

#include <cstddef>
#include <cstdint>

#include "kr/stringx.h"

namespace kr {

class md5_context {
public:
    static constexpr size_t digest_size = 16;

    md5_context() noexcept { init(); }

    void init() noexcept;
    void update(const void* bytes, size_t count) noexcept;
    // Writes the digest and wipes the context; init() starts the next one.
    void final(unsigned char (&digest)[digest_size]) noexcept;

private:
    void transform(const unsigned char* block) noexcept;

    uint32_t state_[4];
    uint32_t count_[2];   // bits processed, low half first
    unsigned char buffer_[64];
};

// The digest as the system writes it: 32 upper-case hexadecimal digits.
_stringx md5_text(const unsigned char (&digest)[md5_context::digest_size]);

} // namespace kr
