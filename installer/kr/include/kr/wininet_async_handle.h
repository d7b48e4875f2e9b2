#pragma once

// A WinINet handle used in asynchronous mode. The status call-back stores the
// handle WinINet creates and the result of each request and signals events;
// the owning thread waits for them while it keeps dispatching window messages.

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace kr {

class wininet_async_handle {
public:
    explicit wininet_async_handle(DWORD timeout = 30000);
    wininet_async_handle(const wininet_async_handle&) = delete;
    wininet_async_handle& operator=(const wininet_async_handle&) = delete;

    virtual ULONG add_ref() noexcept;
    // Deletes the object when no reference is left.
    virtual ULONG release() noexcept;
    // Waits for the event when the thread's last error is ERROR_IO_PENDING; a
    // time-out closes the handle unless keep_open and fails with
    // ERROR_INTERNET_TIMEOUT. The stored error becomes the thread's last error.
    virtual bool wait_for_completion(DWORD timeout, HANDLE event, bool keep_open);
    virtual ~wininet_async_handle();
    virtual void on_request_complete(DWORD error);

    // Closes the WinINet handle and waits, at most the time-out, until WinINet
    // has reported every handle made for this object closed, so that no
    // call-back reaches the object afterwards.
    void close() noexcept;

    HINTERNET handle() const noexcept { return handle_.load(); }
    void set_handle(HINTERNET handle) noexcept;
    DWORD timeout() const noexcept { return timeout_; }
    void set_timeout(DWORD timeout) noexcept { timeout_ = timeout; }
    DWORD error() const noexcept { return error_.load(); }
    void set_error(DWORD error) noexcept { error_.store(error); }
    HANDLE completion_event() const noexcept { return completion_event_; }
    // The server's text of the last ERROR_INTERNET_EXTENDED_ERROR.
    const wchar_t* response_text() const noexcept { return response_ ? response_.get() : L""; }

    // Installed on a session; the context of every handle is its wininet_async_handle.
    static void CALLBACK status_callback(HINTERNET handle, DWORD_PTR context, DWORD status, void* information,
                                         DWORD length);

protected:
    void signal_completion() noexcept { SetEvent(completion_event_); }

private:
    void on_status(DWORD status, void* information, DWORD length) noexcept;
    void track(HINTERNET handle) noexcept;
    bool untrack(HINTERNET handle) noexcept;

    static constexpr DWORD response_capacity = 1024;

    std::atomic<HINTERNET> handle_{nullptr};
    std::atomic<DWORD> error_{0};
    HANDLE completion_event_;
    HANDLE closing_event_;
    std::unique_ptr<wchar_t[]> response_;
    DWORD response_error_ = 0;
    std::atomic<ULONG> references_{1};
    // The handles WinINet made with this object as context and has not yet
    // reported closed (an address opened in one call makes two).
    std::mutex live_lock_;
    std::vector<HINTERNET> live_;
    DWORD timeout_;
};

} // namespace kr
