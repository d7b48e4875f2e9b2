#pragma once

// The launcher's diagnostic trace: one UTF-16 line per event, appended to a
// log file that is opened and closed for every line. Whether tracing is on is
// decided once per process, at the first trace call, unless the launcher entry
// switched it on before.

#include "kr/stringx.h"

// Where a trace line comes from: a source-file name and a line number.
struct TraceSource {
    const wchar_t* file;
    int line;
};

// The process-wide switches. The launcher entry may set `on` and clear
// `with_source` before the first line; nothing here is locked.
struct TraceSettings {
    bool undecided = true;     // the registry has not been consulted yet
    bool on = false;           // lines are written
    bool with_source = true;   // each line ends with the source file and line
    bool mark_done = false;    // the byte-order mark was dealt with in this process
    _wstringx explicit_path;   // full path of the log file, when set
};

TraceSettings& TraceState();
// Back to the start values, as in a new process.
void ResetTraceState();

void TraceFormat(const TraceSource& source, const wchar_t* format, ...);
void TraceIfEnabled(const _wstringx& message, const _wstringx& source_file, int line);
void TraceWriteLine(const _wstringx& message, const _wstringx& source_file, int line);

bool IsVerboseLoggingEnabled();
void SetTraceLogPath(const _wstringx& path);
_wstringx GetTraceLogPath();
_wstringx GetVerboseLogPath();
void AppendToVerboseLog(const _wstringx& text);
