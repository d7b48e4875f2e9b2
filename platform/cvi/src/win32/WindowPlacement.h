// Where new top-level windows open: centred on the window that raised them, as dialogs do, or on
// the screen when there is none.
#pragma once

#include <windows.h>

namespace cvi {

// Moves the window so that it is centred on `over` (null or hidden: the screen's work area),
// keeping its top-left corner on the work area.
void CentreWindow(HWND window, HWND over);

} // namespace cvi
