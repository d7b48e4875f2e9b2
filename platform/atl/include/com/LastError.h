// The thread's last Windows error as an HRESULT, never a success.
#pragma once

#include <windows.h>

namespace com {

inline HRESULT LastErrorAsHResult() noexcept
{
    DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

} // namespace com
