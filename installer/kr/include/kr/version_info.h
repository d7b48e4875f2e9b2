#pragma once

// A file's version resource: the fixed file information (this object's base,
// zero until loaded) and the list of translations. Copies share the resource
// block; the last one frees it.

#include <windows.h>

#include <memory>
#include <vector>

#include "kr/stringx.h"

namespace kr {

class version_info : public VS_FIXEDFILEINFO {
public:
    version_info() noexcept;
    virtual ~version_info() = default;
    version_info(const version_info&) = default;
    version_info& operator=(const version_info&) = default;

    // False when the file has no version resource or it cannot be read.
    bool load(const _stringx& path);

    // Low word language id, high word code page.
    const DWORD* translations() const noexcept;
    size_t translation_count() const noexcept;
    // The whole version resource as read; null before a successful load.
    const void* data() const noexcept;

private:
    struct resource {
        std::vector<BYTE> block;
        std::vector<DWORD> translations;
    };
    std::shared_ptr<const resource> resource_;
};

} // namespace kr
