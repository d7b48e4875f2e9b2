#pragma once

#include <windows.h>
#include <objbase.h>

// Enters a COM apartment for the life of the object and leaves it at the end,
// when entering worked.
class com_apartment {
public:
    explicit com_apartment(DWORD model) noexcept : result_(CoInitializeEx(nullptr, model)) {}
    ~com_apartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    com_apartment(const com_apartment&) = delete;
    com_apartment& operator=(const com_apartment&) = delete;

    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};
