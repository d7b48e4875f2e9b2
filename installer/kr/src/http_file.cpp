#include "kr/http_file.h"

#include <cwchar>
#include <string>

#include "kr/internet_functions.h"

namespace kr {

namespace {

// A header of the open request as text; false when the server sent none.
bool query_text(HINTERNET request, DWORD which, std::wstring& text)
{
    wchar_t buffer[256];
    DWORD size = sizeof(buffer);
    DWORD index = 0;
    if (!HttpQueryInfoW(request, which, buffer, &size, &index))
        return false;
    text.assign(buffer, size / sizeof(wchar_t));
    return true;
}

bool parse_unsigned(const wchar_t* text, ULONGLONG& value, const wchar_t** end = nullptr)
{
    wchar_t* stop = nullptr;
    while (*text == L' ')
        ++text;
    if (*text < L'0' || *text > L'9')
        return false;
    value = wcstoull(text, &stop, 10);
    if (end)
        *end = stop;
    return true;
}

} // namespace

http_file::session_choice http_file::open_session(const wchar_t* agent, DWORD access_type, const wchar_t* proxy,
                                                  const wchar_t* proxy_bypass, DWORD flags)
{
    session_choice choice;
    INTERNET_VERSION_INFO version = {};
    choice.process_wide = current_internet_functions().query_version(&version) && version.dwMinorVersion == 1;
    if (choice.process_wide)
        choice.session.open_shared(agent, access_type, proxy, proxy_bypass, flags);
    else
        choice.session.open(agent, access_type, proxy, proxy_bypass, flags);
    return choice;
}

http_file::http_file(const wchar_t* agent, DWORD timeout, DWORD access_type, const wchar_t* proxy,
                     const wchar_t* proxy_bypass, DWORD flags)
    : http_file(timeout, open_session(agent, access_type, proxy, proxy_bypass, flags | INTERNET_FLAG_ASYNC))
{
}

http_file::http_file(DWORD timeout, const session_choice& choice)
    : inet_file(timeout, choice.session), process_session_(choice.process_wide)
{
}

bool http_file::wait_for_completion(DWORD timeout, HANDLE event, bool keep_open)
{
    return inet_file::wait_for_completion(timeout, event, keep_open) && check_status();
}

bool http_file::fail_status(DWORD status)
{
    const DWORD failure = status_error(status);
    set_error(failure);
    SetLastError(failure);
    return false;
}

bool http_file::check_status()
{
    const HINTERNET request = handle();
    if (!request)
        return true;
    DWORD status = 0;
    DWORD size = sizeof(status);
    DWORD index = 0;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index)) {
        SetLastError(0);
        return true;
    }
    if (status < 200 || status > 299)
        return fail_status(status);

    // A resumed request must get the bytes from the resume offset on; a whole
    // body written at the offset would corrupt the file.
    if (resume_offset() != 0) {
        std::wstring range;
        ULONGLONG first = 0;
        const wchar_t* units = L"bytes ";
        if (status != 206 || !query_text(request, HTTP_QUERY_CONTENT_RANGE, range) ||
            _wcsnicmp(range.c_str(), units, wcslen(units)) != 0 ||
            !parse_unsigned(range.c_str() + wcslen(units), first) || first != resume_offset())
            return fail_status(status);
    }
    std::wstring length;
    ULONGLONG bytes = 0;
    if (query_text(request, HTTP_QUERY_CONTENT_LENGTH, length) && parse_unsigned(length.c_str(), bytes))
        set_body_end(resume_offset() + bytes);
    SetLastError(0);
    return true;
}

ULONGLONG http_file::seek(LONGLONG offset, DWORD origin)
{
    ULONGLONG base = 0;
    if (origin == FILE_CURRENT) {
        base = read_offset();
    } else if (origin == FILE_END) {
        base = size();
        if (base == invalid_offset)
            return invalid_offset;
    } else if (origin != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return invalid_offset;
    }
    const ULONGLONG target = base + static_cast<ULONGLONG>(offset);
    if (offset < 0 && static_cast<ULONGLONG>(-offset) > base) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return invalid_offset;
    }
    if (target != read_offset()) {
        close();
        set_offsets(target);
    }
    return target;
}

ULONGLONG http_file::size()
{
    if (!ensure_request())
        return invalid_offset;
    const DWORD kept = GetLastError();
    std::wstring length;
    ULONGLONG bytes = 0;
    const bool known = query_text(handle(), HTTP_QUERY_CONTENT_LENGTH, length) && parse_unsigned(length.c_str(), bytes);
    const ULONGLONG result = known ? bytes + resume_offset() : invalid_offset;
    close_request();
    SetLastError(known ? kept : ERROR_HTTP_HEADER_NOT_FOUND);
    return result;
}

bool http_file::last_modified(FILETIME* time)
{
    if (!ensure_request())
        return false;
    const DWORD kept = GetLastError();
    SYSTEMTIME modified = {};
    DWORD size = sizeof(modified);
    DWORD index = 0;
    const bool known = HttpQueryInfoW(handle(), HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &modified,
                                      &size, &index) &&
                       SystemTimeToFileTime(&modified, time);
    const DWORD failure = known ? kept : GetLastError();
    close_request();
    SetLastError(failure);
    return known;
}

DWORD http_file::handle_error()
{
    return inet_file::handle_error();
}

} // namespace kr
