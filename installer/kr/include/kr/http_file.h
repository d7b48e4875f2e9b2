#pragma once

// The HTTP and HTTPS form of the internet file: status check, seek, size and
// Last-Modified.

#include <windows.h>
#include <wininet.h>

#include "kr/inet_file.h"

namespace kr {

class http_file : public inet_file {
public:
    // The flags always get INTERNET_FLAG_ASYNC. A WinINet of minor version 1
    // shares one process-wide session; any other opens its own.
    http_file(const wchar_t* agent, DWORD timeout, DWORD access_type, const wchar_t* proxy,
              const wchar_t* proxy_bypass, DWORD flags);

    bool wait_for_completion(DWORD timeout, HANDLE event, bool keep_open) override;
    ULONGLONG seek(LONGLONG offset, DWORD origin) override;
    ULONGLONG size() override;
    bool last_modified(FILETIME* time) override;
    DWORD handle_error() override;
    bool check_status() override;

    bool shares_process_session() const noexcept { return process_session_; }

    // The error kept for an HTTP status outside 200-299.
    static DWORD status_error(DWORD status) noexcept { return 0x80040000u | (status + 0xD3C0u); }

private:
    struct session_choice {
        inet_session session;
        bool process_wide = false;
    };
    static session_choice open_session(const wchar_t* agent, DWORD access_type, const wchar_t* proxy,
                                       const wchar_t* proxy_bypass, DWORD flags);
    http_file(DWORD timeout, const session_choice& choice);

    bool fail_status(DWORD status);

    bool process_session_;
};

} // namespace kr
