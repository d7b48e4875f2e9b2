#pragma once

// An InternetOpen handle shared by copies; the last owner closes it.

#include <windows.h>
#include <wininet.h>

#include <memory>

namespace kr {

class inet_session {
public:
    inet_session() = default;

    // InternetOpenW with the values unchanged; whether a handle came back.
    bool open(const wchar_t* agent, DWORD access_type, const wchar_t* proxy, const wchar_t* proxy_bypass,
              DWORD flags);
    // The process-wide session, opened on first use; the last share closes it.
    bool open_shared(const wchar_t* agent, DWORD access_type, const wchar_t* proxy, const wchar_t* proxy_bypass,
                     DWORD flags);
    void close() noexcept { shared_.reset(); }
    HINTERNET handle() const noexcept { return shared_ ? shared_.get() : nullptr; }
    bool is_open() const noexcept { return shared_ != nullptr; }

private:
    struct closer {
        void operator()(void* handle) const noexcept { InternetCloseHandle(handle); }
    };
    std::shared_ptr<void> shared_;
};

} // namespace kr
