#pragma once

// A file read from a web address through asynchronous WinINet. A read that
// breaks off is resumed at the byte reached with a new request; the error
// handler (or the system's internet error dialog) decides whether to retry.

#include <windows.h>
#include <wininet.h>

#include <string>

#include "kr/inet_session.h"
#include "kr/wininet_async_handle.h"

namespace kr {

// Asked before the internet error dialog. ERROR_INTERNET_FORCE_RETRY or
// ERROR_CANCELLED decide; any other answer leaves it to the dialog.
class internet_error_handler {
public:
    virtual DWORD on_internet_error(HWND owner, HINTERNET request, DWORD error) = 0;

protected:
    ~internet_error_handler() = default;
};

class inet_file : public wininet_async_handle {
public:
    static constexpr ULONGLONG invalid_offset = ~0ULL;

    inet_file(DWORD timeout, const inet_session& session);
    ~inet_file() override;

    virtual ULONGLONG seek(LONGLONG offset, DWORD origin) = 0;
    virtual ULONGLONG size() = 0;
    virtual bool last_modified(FILETIME* time) = 0;
    virtual void reserved() {}
    // ERROR_INTERNET_FORCE_RETRY or ERROR_CANCELLED; the last error is kept.
    virtual DWORD handle_error();
    virtual bool check_status();
    virtual HINTERNET open_request(HINTERNET session, const wchar_t* address, const wchar_t* headers,
                                   DWORD headers_length, DWORD flags, DWORD_PTR context);

    // Installs the status call-back, resets the offsets and canonicalizes the address.
    bool prepare_url(const wchar_t* address, const wchar_t* extra_headers, DWORD request_flags);
    // Opens the request when there is none (resend: sends it again).
    bool send_request(bool resend);
    // Reads count bytes, resuming broken reads up to retry_count more times.
    bool read_with_retry(void* buffer, DWORD count, DWORD* read);
    DWORD transfer_rate();

    void set_error_handler(internet_error_handler* handler) noexcept { error_handler_ = handler; }
    const std::wstring& address() const noexcept { return address_; }
    ULONGLONG read_offset() const noexcept { return read_offset_; }
    ULONGLONG resume_offset() const noexcept { return resume_offset_; }
    DWORD request_flags() const noexcept { return request_flags_; }

protected:
    // Sends the request when none is open, asking the error handler between tries.
    bool ensure_request();
    // Closes the request; the next one starts where reading stopped.
    void close_request() noexcept;
    void set_offsets(ULONGLONG offset) noexcept { resume_offset_ = read_offset_ = offset; }
    // The offset one past the body of the open request, when its length is known.
    void set_body_end(ULONGLONG end) noexcept { body_end_ = end; }

    inet_session session_;

private:
    struct transfer_window {
        ULONGLONG bytes = 0;
        ULONGLONG milliseconds = 0;
        ULONGLONG microseconds = 0;
    };

    bool read_block(BYTE* buffer, DWORD wanted, DWORD* read);
    void count_transfer(DWORD bytes, LONGLONG ticks);
    LONGLONG now() const;

    wininet_async_handle* connection_;
    std::wstring connected_host_;
    std::wstring address_;
    std::wstring extra_headers_;
    std::wstring headers_sent_;
    ULONGLONG resume_offset_ = 0;
    ULONGLONG read_offset_ = 0;
    ULONGLONG body_end_ = invalid_offset;
    DWORD request_flags_ = 0;
    transfer_window current_;
    transfer_window next_;
    DWORD window_start_;
    DWORD retry_count_ = 5;
    DWORD autodial_flags_ = INTERNET_AUTODIAL_FORCE_ONLINE;
    HWND owner_;
    internet_error_handler* error_handler_ = nullptr;
    LONGLONG frequency_;
    bool performance_counter_;
};

} // namespace kr
