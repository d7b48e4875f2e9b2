#include "kr/inet_file.h"

#include <cstdio>
#include <vector>

#include "kr/internet_functions.h"

namespace kr {

namespace {

constexpr DWORD canonical_flags = ICU_DECODE | ICU_BROWSER_MODE;
constexpr DWORD first_piece = 1500;
constexpr DWORD window_length = 30000;

} // namespace

inet_file::inet_file(DWORD timeout, const inet_session& session)
    : wininet_async_handle(timeout), session_(session), connection_(new wininet_async_handle(timeout)),
      window_start_(GetTickCount()), owner_(GetDesktopWindow())
{
    LARGE_INTEGER frequency;
    performance_counter_ = QueryPerformanceFrequency(&frequency) && frequency.QuadPart != 0;
    frequency_ = performance_counter_ ? frequency.QuadPart : 1000;
}

inet_file::~inet_file()
{
    close();
    connection_->release();
}

LONGLONG inet_file::now() const
{
    if (performance_counter_) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        return counter.QuadPart;
    }
    return GetTickCount();
}

bool inet_file::prepare_url(const wchar_t* address, const wchar_t* extra_headers, DWORD request_flags)
{
    if (!session_.is_open())
        return false;
    if (InternetSetStatusCallbackW(session_.handle(), &wininet_async_handle::status_callback) ==
        INTERNET_INVALID_STATUS_CALLBACK)
        return false;
    request_flags_ = request_flags;
    resume_offset_ = read_offset_ = 0;
    body_end_ = invalid_offset;
    current_ = next_ = transfer_window{};
    window_start_ = GetTickCount();
    extra_headers_ = extra_headers && *extra_headers ? extra_headers : L"";

    std::vector<wchar_t> canonical(INTERNET_MAX_URL_LENGTH);
    for (;;) {
        DWORD length = static_cast<DWORD>(canonical.size());
        if (InternetCanonicalizeUrlW(address, canonical.data(), &length, canonical_flags))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
        canonical.resize(length > canonical.size() ? length + 1 : canonical.size() * 2);
    }
    address_ = canonical.data();

    // A domain user name ("http://DOMAIN\user@host/") keeps its backslash.
    const std::wstring given(address);
    const size_t at = given.find(L'@');
    size_t slash = 0;
    for (int i = 0; i < 3 && slash != std::wstring::npos; ++i)
        slash = given.find(L'/', i == 0 ? 0 : slash + 1);
    if (at != std::wstring::npos && (slash == std::wstring::npos || at < slash)) {
        const size_t start = address_.find(L"//");
        const size_t end = address_.find(L'@');
        if (start != std::wstring::npos && end != std::wstring::npos)
            for (size_t i = start + 2; i < end; ++i)
                if (address_[i] == L'/')
                    address_[i] = L'\\';
    }
    return true;
}

HINTERNET inet_file::open_request(HINTERNET session, const wchar_t* address, const wchar_t* headers,
                                  DWORD headers_length, DWORD flags, DWORD_PTR context)
{
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH] = {};
    wchar_t user[INTERNET_MAX_USER_NAME_LENGTH] = {};
    wchar_t password[INTERNET_MAX_PASSWORD_LENGTH] = {};
    std::vector<wchar_t> path(INTERNET_MAX_URL_LENGTH);
    std::vector<wchar_t> extra(INTERNET_MAX_URL_LENGTH);
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH;
    parts.lpszUserName = user;
    parts.dwUserNameLength = INTERNET_MAX_USER_NAME_LENGTH;
    parts.lpszPassword = password;
    parts.dwPasswordLength = INTERNET_MAX_PASSWORD_LENGTH;
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    const bool cracked = InternetCrackUrlW(address, 0, 0, &parts) != FALSE;

    const INTERNET_SCHEME scheme = cracked ? parts.nScheme : INTERNET_SCHEME_UNKNOWN;
    switch (scheme) {
    case INTERNET_SCHEME_FTP:
    case INTERNET_SCHEME_GOPHER:
    case INTERNET_SCHEME_HTTP:
        break;
    case INTERNET_SCHEME_HTTPS:
        flags |= INTERNET_FLAG_SECURE;
        break;
    default: {
        // Reported like a request that failed, so the caller's wait sees it.
        const INTERNET_ASYNC_RESULT result = {0, ERROR_INTERNET_UNRECOGNIZED_SCHEME};
        status_callback(nullptr, context, INTERNET_STATUS_REQUEST_COMPLETE, const_cast<INTERNET_ASYNC_RESULT*>(&result),
                        sizeof(result));
        SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        return nullptr;
    }
    }

    if (!(flags & INTERNET_FLAG_SECURE)) {
        const HINTERNET request = InternetOpenUrlW(session, address, headers, headers_length, flags, context);
        if (request)
            set_handle(request);
        return request;
    }

    if (!connection_->handle() || _wcsicmp(connected_host_.c_str(), host) != 0) {
        connection_->close();
        connected_host_.clear();
        const HINTERNET connected =
            InternetConnectW(session, host, parts.nPort, *user ? user : nullptr, *password ? password : nullptr,
                             INTERNET_SERVICE_HTTP, 0, reinterpret_cast<DWORD_PTR>(connection_));
        if (!connected) {
            if (GetLastError() != ERROR_IO_PENDING)
                return nullptr;
            if (!connection_->wait_for_completion(timeout(), connection_->completion_event(), false))
                return nullptr;
        } else {
            connection_->set_handle(connected);
        }
        connected_host_ = host;
    }
    std::wstring object(path.data());
    object += extra.data();
    const HINTERNET request = HttpOpenRequestW(connection_->handle(), L"GET", object.c_str(), nullptr, nullptr,
                                               nullptr, flags, context);
    if (!request)
        return nullptr;
    set_handle(request);
    if (!HttpSendRequestW(request, headers, headers_length, nullptr, 0))
        return nullptr;
    return request;
}

bool inet_file::send_request(bool resend)
{
    // An open request sends nothing, so it needs no line either (and the
    // connected-state query is far from free on every read).
    if (handle() && !resend)
        return true;
    const internet_functions& functions = current_internet_functions();
    DWORD connection = 0;
    if (!functions.get_connected_state(&connection, 0) &&
        (connection & (INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_CONFIGURED))) {
        if (!functions.autodial(autodial_flags_, nullptr)) {
            const DWORD failure = GetLastError();
            set_error(failure);
            SetLastError(failure);
            return false;
        }
    }

    headers_sent_.clear();
    if (resume_offset_ != 0) {
        wchar_t range[64];
        swprintf(range, 64, extra_headers_.empty() ? L"Range: bytes=%llu-" : L"Range: bytes=%llu-\r\n",
                 static_cast<unsigned long long>(resume_offset_));
        headers_sent_ = range;
    }
    headers_sent_ += extra_headers_;
    const wchar_t* headers = headers_sent_.empty() ? nullptr : headers_sent_.c_str();
    const DWORD headers_length = headers ? static_cast<DWORD>(headers_sent_.size()) : 0;

    set_error(0);
    ResetEvent(completion_event());
    body_end_ = invalid_offset;
    if (handle()) {
        if (HttpSendRequestW(handle(), headers, headers_length, nullptr, 0))
            return check_status();
    } else {
        HINTERNET request = open_request(session_.handle(), address_.c_str(), headers, headers_length,
                                         request_flags_, reinterpret_cast<DWORD_PTR>(this));
        if (!request && GetLastError() == ERROR_INVALID_PARAMETER && (request_flags_ & INTERNET_FLAG_PRAGMA_NOCACHE)) {
            request_flags_ &= ~INTERNET_FLAG_PRAGMA_NOCACHE;
            request = open_request(session_.handle(), address_.c_str(), headers, headers_length, request_flags_,
                                   reinterpret_cast<DWORD_PTR>(this));
        }
        if (request)
            return check_status();
    }
    return wait_for_completion(timeout(), completion_event(), false);
}

bool inet_file::check_status()
{
    return true;
}

DWORD inet_file::handle_error()
{
    const DWORD kept = GetLastError();
    DWORD answer = 0;
    if (error_handler_)
        answer = error_handler_->on_internet_error(owner_, handle(), kept);
    if (answer != ERROR_INTERNET_FORCE_RETRY && answer != ERROR_CANCELLED) {
        const DWORD shown = current_internet_functions().error_dialog(
            owner_, handle(), kept,
            FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
            nullptr);
        answer = shown == ERROR_CANCELLED ? ERROR_CANCELLED : ERROR_INTERNET_FORCE_RETRY;
    }
    SetLastError(kept);
    return answer;
}

void inet_file::close_request() noexcept
{
    close();
    resume_offset_ = read_offset_;
    body_end_ = invalid_offset;
}

bool inet_file::ensure_request()
{
    for (DWORD attempt = 0; attempt <= retry_count_; ++attempt) {
        if (send_request(attempt > 0))
            return true;
        if (handle_error() != ERROR_INTERNET_FORCE_RETRY || attempt == retry_count_)
            return false;
        const DWORD kept = GetLastError();
        close_request();
        SetLastError(kept);
    }
    return false;
}

bool inet_file::read_with_retry(void* buffer, DWORD count, DWORD* read)
{
    *read = 0;
    BYTE* at = static_cast<BYTE*>(buffer);
    DWORD remaining = count;
    for (DWORD attempt = 0; attempt <= retry_count_; ++attempt) {
        if (attempt > 0) {
            const DWORD kept = GetLastError();
            close_request();
            SetLastError(kept);
        }
        if (!send_request(attempt > 0)) {
            if (handle_error() != ERROR_INTERNET_FORCE_RETRY)
                return false;
            continue;
        }
        DWORD got = 0;
        const bool complete = read_block(at, remaining, &got);
        *read += got;
        if (complete)
            return true;
        if (handle_error() != ERROR_INTERNET_FORCE_RETRY)
            return false;
        at += got;
        remaining -= got;
    }
    return false;
}

bool inet_file::read_block(BYTE* buffer, DWORD wanted, DWORD* read)
{
    *read = 0;
    while (*read < wanted) {
        DWORD piece = first_piece;
        if (current_.milliseconds > 10000 && current_.bytes != 0)
            piece = 15 * transfer_rate();
        const DWORD left = wanted - *read;
        if (piece == 0)
            piece = 1;
        if (piece > left)
            piece = left;

        DWORD got = 0;
        const LONGLONG start = now();
        set_error(0);
        ResetEvent(completion_event());
        if (!InternetReadFile(handle(), buffer + *read, piece, &got) &&
            !wait_for_completion(timeout(), completion_event(), false))
            return false;
        count_transfer(got, now() - start);
        if (got == 0)
            break;
        *read += got;
        read_offset_ += got;
    }
    // WinINet reports a connection cut inside the body as its end.
    if (*read < wanted && body_end_ != invalid_offset && read_offset_ < body_end_) {
        set_error(ERROR_INTERNET_CONNECTION_ABORTED);
        SetLastError(ERROR_INTERNET_CONNECTION_ABORTED);
        return false;
    }
    SetLastError(0);
    return true;
}

void inet_file::count_transfer(DWORD bytes, LONGLONG ticks)
{
    if (ticks <= 0)
        ticks = 5;
    const ULONGLONG whole = static_cast<ULONGLONG>(ticks) * 1000 / static_cast<ULONGLONG>(frequency_);
    const ULONGLONG micro =
        static_cast<ULONGLONG>(ticks) * 1000000 / static_cast<ULONGLONG>(frequency_) - whole * 1000;
    for (transfer_window* window : {&current_, &next_}) {
        window->bytes += bytes;
        window->milliseconds += whole;
        window->microseconds += micro;
        if (window->microseconds > 1000) {
            window->milliseconds += window->microseconds / 1000;
            window->microseconds %= 1000;
        }
    }
}

DWORD inet_file::transfer_rate()
{
    if (GetTickCount() - window_start_ > window_length) {
        current_ = next_;
        next_ = transfer_window{};
        window_start_ = GetTickCount();
    }
    if (current_.milliseconds == 0)
        return current_.bytes > MAXDWORD ? MAXDWORD : static_cast<DWORD>(current_.bytes);
    ULONGLONG rate = 0;
    for (ULONGLONG scale : {10ULL, 100ULL, 1000ULL}) {
        while (scale * current_.bytes > MAXDWORD && current_.milliseconds > 1) {
            current_.bytes /= 2;
            current_.milliseconds /= 2;
        }
        rate = (scale * current_.bytes / current_.milliseconds) * 1000 / scale;
        if (rate != 0)
            break;
    }
    return rate > MAXDWORD ? MAXDWORD : static_cast<DWORD>(rate);
}

} // namespace kr
