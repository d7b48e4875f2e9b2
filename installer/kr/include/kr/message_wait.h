#pragma once

#include <windows.h>

namespace kr {

// Waits for a handle while dispatching the thread's window messages; a WM_QUIT
// is taken from the queue without being dispatched. True when the handle is
// signalled, false when the wait fails.
bool wait_with_message_loop(HANDLE handle);

} // namespace kr
