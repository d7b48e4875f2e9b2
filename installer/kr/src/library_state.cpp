#include "kr/library_state.h"

namespace kr {

library_state& state()
{
    static library_state instance;
    return instance;
}

void clear_errors()
{
    state().last_result = 0;
    state().errors.clear();
}

void record_error(DWORD code, const _stringx& path)
{
    library_state& s = state();
    s.last_result = code;
    s.last_failed_path = path;
    s.errors.push_back({code, path});
}

void set_error_path(const _stringx& path)
{
    state().last_failed_path = path;
}

void set_last_result(DWORD code)
{
    state().last_result = code;
}

DWORD last_result()
{
    return state().last_result;
}

_stringx last_failed_path()
{
    return state().last_failed_path;
}

void close_last_process()
{
    PROCESS_INFORMATION& process = state().last_process;
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION{};
}

} // namespace kr
