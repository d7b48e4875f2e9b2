// The module lock of one binary (DLL or EXE) that serves COM objects. Live
// objects and LockServer hold it; DllCanUnloadNow asks it.
#pragma once

#include <windows.h>

#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace com {

class Module {
public:
    Module() noexcept = default;
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    void Lock() noexcept { InterlockedIncrement(&locks_); }
    void Unlock() noexcept { InterlockedDecrement(&locks_); }
    LONG LockCount() const noexcept { return InterlockedCompareExchange(&locks_, 0, 0); }
    HRESULT CanUnloadNow() const noexcept { return LockCount() == 0 ? S_OK : S_FALSE; }

    // The binary this code is linked into.
    HINSTANCE Instance() const noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

private:
    mutable LONG locks_ = 0;
};

// The one module object of this binary.
inline Module &ThisModule() noexcept
{
    static Module module;
    return module;
}

// Full path of a loaded module; empty when it cannot be read.
std::wstring ModuleFileName(HMODULE module);

} // namespace com
