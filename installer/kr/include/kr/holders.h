#pragma once

// Small owners that live beside the string class.

#include <windows.h>
#include <oleauto.h>

#include <cstddef>
#include <memory>

namespace kr {

// Frees its BSTR at the end.
class bstr_holder {
public:
    bstr_holder() noexcept = default;
    explicit bstr_holder(BSTR value) noexcept : value_(value) {}
    ~bstr_holder() { SysFreeString(value_); }
    bstr_holder(const bstr_holder&) = delete;
    bstr_holder& operator=(const bstr_holder&) = delete;

    BSTR get() const noexcept { return value_; }
    BSTR* address() noexcept { return &value_; }
    BSTR detach() noexcept
    {
        BSTR value = value_;
        value_ = nullptr;
        return value;
    }
    void reset(BSTR value = nullptr) noexcept
    {
        if (value != value_)
            SysFreeString(value_);
        value_ = value;
    }

private:
    BSTR value_ = nullptr;
};

// A VARIANT that is initialised at the start and cleared at the end.
class variant_holder {
public:
    variant_holder() noexcept
    {
        ZeroMemory(&value_, sizeof(value_));
        VariantInit(&value_);
    }
    ~variant_holder() { VariantClear(&value_); }
    variant_holder(const variant_holder&) = delete;
    variant_holder& operator=(const variant_holder&) = delete;

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }

private:
    VARIANT value_;
};

// Frees its module at the end (or on reset) and forgets it.
class library_holder {
public:
    library_holder() noexcept = default;
    explicit library_holder(HMODULE module) noexcept : module_(module) {}
    ~library_holder() { reset(); }
    library_holder(const library_holder&) = delete;
    library_holder& operator=(const library_holder&) = delete;

    HMODULE get() const noexcept { return module_; }
    void reset(HMODULE module = nullptr) noexcept
    {
        if (module_)
            FreeLibrary(module_);
        module_ = module;
    }

private:
    HMODULE module_ = nullptr;
};

// Frees a LocalAlloc block at the end.
class local_memory_holder {
public:
    local_memory_holder() noexcept = default;
    explicit local_memory_holder(HLOCAL block) noexcept : block_(block) {}
    ~local_memory_holder()
    {
        if (block_)
            LocalFree(block_);
    }
    local_memory_holder(const local_memory_holder&) = delete;
    local_memory_holder& operator=(const local_memory_holder&) = delete;

    HLOCAL get() const noexcept { return block_; }
    void reset(HLOCAL block = nullptr) noexcept
    {
        if (block_ && block_ != block)
            LocalFree(block_);
        block_ = block;
    }

private:
    HLOCAL block_ = nullptr;
};

// A registry key opened (or handed over) for the length of a scope, closed at
// the end; result() keeps why the open failed.
class registry_key_holder {
public:
    registry_key_holder(HKEY root, const wchar_t* path, REGSAM access) noexcept
        : result_(RegOpenKeyExW(root, path, 0, access, &key_))
    {
        if (result_ != ERROR_SUCCESS)
            key_ = nullptr;
    }
    explicit registry_key_holder(HKEY key) noexcept : key_(key) {}
    ~registry_key_holder()
    {
        if (key_)
            RegCloseKey(key_);
    }
    registry_key_holder(const registry_key_holder&) = delete;
    registry_key_holder& operator=(const registry_key_holder&) = delete;

    HKEY get() const noexcept { return key_; }
    LONG result() const noexcept { return result_; }

private:
    HKEY key_ = nullptr;
    LONG result_ = ERROR_SUCCESS;
};

// A well-known SID of the built-in domain (such as Administrators), freed at the end.
class builtin_sid_holder {
public:
    explicit builtin_sid_holder(DWORD alias_rid) noexcept
    {
        SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, alias_rid, 0, 0, 0, 0, 0, 0,
                                      &sid_))
            sid_ = nullptr;
    }
    ~builtin_sid_holder()
    {
        if (sid_)
            FreeSid(sid_);
    }
    builtin_sid_holder(const builtin_sid_holder&) = delete;
    builtin_sid_holder& operator=(const builtin_sid_holder&) = delete;

    PSID get() const noexcept { return sid_; }

private:
    PSID sid_ = nullptr;
};

// A heap block of count elements, deleted at the end.
template <class T>
class heap_buffer {
public:
    explicit heap_buffer(size_t count) : data_(new T[count ? count : 1]()), count_(count) {}

    T* get() noexcept { return data_.get(); }
    const T* get() const noexcept { return data_.get(); }
    size_t count() const noexcept { return count_; }

private:
    std::unique_ptr<T[]> data_;
    size_t count_;
};

} // namespace kr
