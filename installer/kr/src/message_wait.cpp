#include "kr/message_wait.h"

namespace kr {

bool wait_with_message_loop(HANDLE handle)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1)
            return false;

        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
            const bool unicode = message.hwnd == nullptr || IsWindowUnicode(message.hwnd);
            const BOOL got = unicode ? GetMessageW(&message, nullptr, 0, 0) : GetMessageA(&message, nullptr, 0, 0);
            if (got > 0) {
                TranslateMessage(&message);
                if (unicode)
                    DispatchMessageW(&message);
                else
                    DispatchMessageA(&message);
            }
            if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0)
                return true;
        }
    }
}

} // namespace kr
