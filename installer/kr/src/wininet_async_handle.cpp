#include "kr/wininet_async_handle.h"

#include <algorithm>

namespace kr {

namespace {

// The objects that may receive call-backs. WinINet can report on a handle
// after the bounded wait of close() gave up on it; a report for an object
// that is gone must find nothing.
struct living_objects {
    std::mutex lock;
    std::vector<wininet_async_handle*> objects;
};

living_objects& living()
{
    static living_objects instance;
    return instance;
}

} // namespace

wininet_async_handle::wininet_async_handle(DWORD timeout)
    : completion_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      closing_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)), timeout_(timeout)
{
    std::lock_guard<std::mutex> lock(living().lock);
    living().objects.push_back(this);
}

wininet_async_handle::~wininet_async_handle()
{
    close();
    {
        // Waits for a call-back running on another thread to end.
        std::lock_guard<std::mutex> lock(living().lock);
        auto& objects = living().objects;
        objects.erase(std::remove(objects.begin(), objects.end(), this), objects.end());
    }
    CloseHandle(completion_event_);
    CloseHandle(closing_event_);
}

ULONG wininet_async_handle::add_ref() noexcept
{
    return ++references_;
}

ULONG wininet_async_handle::release() noexcept
{
    const ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

void wininet_async_handle::set_handle(HINTERNET handle) noexcept
{
    handle_.store(handle);
    track(handle);
}

void wininet_async_handle::track(HINTERNET handle) noexcept
{
    if (!handle)
        return;
    std::lock_guard<std::mutex> lock(live_lock_);
    for (HINTERNET known : live_)
        if (known == handle)
            return;
    live_.push_back(handle);
}

// True when the last live handle went.
bool wininet_async_handle::untrack(HINTERNET handle) noexcept
{
    std::lock_guard<std::mutex> lock(live_lock_);
    for (size_t i = 0; i < live_.size(); ++i)
        if (live_[i] == handle) {
            live_.erase(live_.begin() + static_cast<std::ptrdiff_t>(i));
            return live_.empty();
        }
    return false;
}

void wininet_async_handle::on_request_complete(DWORD)
{
}

void wininet_async_handle::close() noexcept
{
    const HINTERNET handle = handle_.exchange(nullptr);
    if (!handle)
        return;
    const DWORD kept = GetLastError();
    InternetCloseHandle(handle);
    // WinINet may report the closing later from its own thread, when a
    // request was still running; this object must outlive that report.
    const DWORD start = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(live_lock_);
            if (live_.empty())
                break;
        }
        const DWORD passed = GetTickCount() - start;
        if (passed >= timeout_ || WaitForSingleObject(closing_event_, timeout_ - passed) == WAIT_TIMEOUT)
            break;
    }
    SetLastError(kept);
}

bool wininet_async_handle::wait_for_completion(DWORD timeout, HANDLE event, bool keep_open)
{
    const DWORD pending = GetLastError();
    if (pending == 0)
        return true;
    if (pending != ERROR_IO_PENDING)
        return false;

    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD passed = GetTickCount() - start;
        const DWORD left = passed >= timeout ? 0 : timeout - passed;
        const DWORD result = MsgWaitForMultipleObjects(1, &event, FALSE, left, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            break;
        if (result == WAIT_OBJECT_0 + 1) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            continue;
        }
        if (!keep_open)
            close();
        set_error(ERROR_INTERNET_TIMEOUT);
        break;
    }
    const DWORD stored = error();
    SetLastError(stored);
    return stored == 0;
}

void CALLBACK wininet_async_handle::status_callback(HINTERNET, DWORD_PTR context, DWORD status, void* information,
                                                    DWORD length)
{
    if (!context)
        return;
    auto* object = reinterpret_cast<wininet_async_handle*>(context);
    std::lock_guard<std::mutex> lock(living().lock);
    const auto& objects = living().objects;
    if (std::find(objects.begin(), objects.end(), object) != objects.end())
        object->on_status(status, information, length);
}

void wininet_async_handle::on_status(DWORD status, void* information, DWORD length) noexcept
{
    switch (status) {
    case INTERNET_STATUS_HANDLE_CREATED: {
        // The handle comes first in the information, whatever its form.
        if (!information || length < sizeof(HINTERNET))
            return;
        set_handle(*static_cast<HINTERNET*>(information));
        return;
    }
    case INTERNET_STATUS_HANDLE_CLOSING:
        if (information && length >= sizeof(HINTERNET) && !untrack(*static_cast<HINTERNET*>(information)))
            return;
        SetEvent(closing_event_);
        return;
    case INTERNET_STATUS_REQUEST_COMPLETE: {
        const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        if (!result)
            return;
        // The result is TRUE, or the new handle of a request that makes one:
        // an address opened in one call reports its connection as created
        // and its request only here.
        if (result->dwResult > TRUE)
            set_handle(reinterpret_cast<HINTERNET>(result->dwResult));
        if (result->dwResult) {
            on_request_complete(result->dwError);
            set_error(0);
        } else {
            set_error(result->dwError);
            if (result->dwError == ERROR_INTERNET_EXTENDED_ERROR) {
                if (!response_)
                    response_.reset(new wchar_t[response_capacity]());
                DWORD size = response_capacity;
                if (!InternetGetLastResponseInfoW(&response_error_, response_.get(), &size))
                    response_[0] = 0;
            }
        }
        signal_completion();
        return;
    }
    default:
        return;
    }
}

} // namespace kr
