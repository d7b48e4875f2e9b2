// A critical section and its scoped holder.
#pragma once

#include <windows.h>

namespace com {

class CriticalSection {
public:
    CriticalSection() noexcept { InitializeCriticalSection(&cs_); }
    CriticalSection(const CriticalSection &) = delete;
    CriticalSection &operator=(const CriticalSection &) = delete;
    ~CriticalSection() { DeleteCriticalSection(&cs_); }

    void Enter() noexcept { EnterCriticalSection(&cs_); }
    void Leave() noexcept { LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

class ScopedLock {
public:
    explicit ScopedLock(CriticalSection &cs) noexcept : cs_(cs) { cs_.Enter(); }
    ScopedLock(const ScopedLock &) = delete;
    ScopedLock &operator=(const ScopedLock &) = delete;
    ~ScopedLock() { cs_.Leave(); }

private:
    CriticalSection &cs_;
};

} // namespace com
