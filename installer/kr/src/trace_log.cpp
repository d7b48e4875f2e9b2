#include "kr/trace_log.h"

#include <cstdarg>

#include "kr/last_error_keeper.h"

namespace {

// Tracing never changes what GetLastError tells the code that traced.
class keep_last_error : private kr::last_error_keeper {
public:
    keep_last_error() = default;
};

void Decide(TraceSettings& state)
{
    if (state.undecided) {
        state.on = state.on || IsVerboseLoggingEnabled();
        state.undecided = false;
    }
}

// The last folder name and the file name, joined by one backslash.
_wstringx ShortSourceName(const _wstringx& source)
{
    const size_t slash = source.rfind(L"\\");
    if (slash == _wstringx::npos)
        return source;
    const _wstringx file = source.substr(slash + 1);
    const _wstringx folder = source.substr(0, slash);
    const size_t folder_slash = folder.rfind(L"\\");
    _wstringx name = folder_slash == _wstringx::npos ? folder : folder.substr(folder_slash + 1);
    if (name.empty())
        return file;
    name.append_with_separator(file, L'\\');
    return name;
}

} // namespace

TraceSettings& TraceState()
{
    static TraceSettings state;
    return state;
}

void ResetTraceState()
{
    TraceState() = TraceSettings();
}

void TraceFormat(const TraceSource& source, const wchar_t* format, ...)
{
    TraceSettings& state = TraceState();
    if (!state.undecided && !state.on)
        return;
    const keep_last_error keep;

    _wstringx message;
    va_list args;
    va_start(args, format);
    message.vformat(format, args);
    va_end(args);

    const _wstringx file(source.file);
    Decide(state);
    if (state.on)
        TraceWriteLine(message, file, source.line);
}

void TraceIfEnabled(const _wstringx& message, const _wstringx& source_file, int line)
{
    TraceSettings& state = TraceState();
    const keep_last_error keep;
    Decide(state);
    if (state.on)
        TraceWriteLine(message, source_file, line);
}

void TraceWriteLine(const _wstringx& message, const _wstringx& source_file, int line)
{
    const keep_last_error keep;
    wchar_t date[128] = {};
    wchar_t time[128] = {};
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, nullptr, L"M-d-yyyy", date, 128);
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, nullptr, L"hh':'mm':'ss tt", time, 128);

    _wstringx text;
    if (TraceState().with_source) {
        const _wstringx file = ShortSourceName(source_file);
        text.format(L"%s[%s]: %s  --  File: %s, Line: %d\r\n", date, time, message.c_str(), file.c_str(), line);
    } else {
        text.format(L"%s[%s]: %s\r\n", date, time, message.c_str());
    }
    AppendToVerboseLog(text);
}
