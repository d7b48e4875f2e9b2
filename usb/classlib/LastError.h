// The calling thread's last error as a status value.
#pragma once

#include <windows.h>

#include "DravioStatus.h"

namespace dravio {

// A failed call must never read as success, whatever the last error says.
inline DWORD LastErrorStatus()
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : DRAVIO_ERR_FAILED;
}

} // namespace dravio
