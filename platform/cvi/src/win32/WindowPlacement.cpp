#include "win32/WindowPlacement.h"

#include <algorithm>

namespace cvi {

void CentreWindow(HWND window, HWND over)
{
    if (!window)
        return;
    RECT workArea{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    RECT around = workArea;
    if (over && over != window && IsWindowVisible(over))
        GetWindowRect(over, &around);
    RECT own{};
    GetWindowRect(window, &own);
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    LONG left = around.left + ((around.right - around.left) - width) / 2;
    LONG top = around.top + ((around.bottom - around.top) - height) / 2;
    left = std::max(workArea.left, std::min(left, workArea.right - width));
    top = std::max(workArea.top, std::min(top, workArea.bottom - height));
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace cvi
