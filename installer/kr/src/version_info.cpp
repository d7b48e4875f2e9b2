#include "kr/version_info.h"

#include <cstring>

namespace kr {

version_info::version_info() noexcept : VS_FIXEDFILEINFO{}
{
}

bool version_info::load(const _stringx& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    auto loaded = std::make_shared<resource>();
    loaded->block.resize(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, loaded->block.data()))
        return false;

    void* fixed = nullptr;
    UINT fixed_size = 0;
    if (!VerQueryValueW(loaded->block.data(), L"\\", &fixed, &fixed_size) || !fixed ||
        fixed_size < sizeof(VS_FIXEDFILEINFO))
        return false;
    std::memcpy(static_cast<VS_FIXEDFILEINFO*>(this), fixed, sizeof(VS_FIXEDFILEINFO));

    void* list = nullptr;
    UINT list_size = 0;
    if (VerQueryValueW(loaded->block.data(), L"\\VarFileInfo\\Translation", &list, &list_size) && list) {
        const DWORD* entries = static_cast<const DWORD*>(list);
        loaded->translations.assign(entries, entries + list_size / sizeof(DWORD));
    }
    resource_ = std::move(loaded);
    return true;
}

const DWORD* version_info::translations() const noexcept
{
    return resource_ && !resource_->translations.empty() ? resource_->translations.data() : nullptr;
}

size_t version_info::translation_count() const noexcept
{
    return resource_ ? resource_->translations.size() : 0;
}

const void* version_info::data() const noexcept
{
    return resource_ ? resource_->block.data() : nullptr;
}

} // namespace kr
