#pragma once

#include <windows.h>

namespace kr {

// Holds the thread's last-error value across an object's construction and
// destruction, so a caller may make and drop objects between a failing Windows
// call and its GetLastError. The base saves on construction and restores on
// destruction; the derived class restores at the end of its constructors and
// saves at the start of its destructor.
class last_error_keeper {
public:
    void save() noexcept { saved_ = GetLastError(); }
    void restore() const noexcept { SetLastError(saved_); }

protected:
    last_error_keeper() noexcept { save(); }
    last_error_keeper(const last_error_keeper&) noexcept { save(); }
    last_error_keeper& operator=(const last_error_keeper&) noexcept { return *this; }
    ~last_error_keeper() { restore(); }

private:
    DWORD saved_ = 0;
};

} // namespace kr
