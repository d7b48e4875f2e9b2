#include "kr/message_wait.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

int g_handled = 0;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_APP + 1) {
        ++g_handled;
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

TEST(MessageWait, DispatchesWhileWaitingAndConsumesQuit)
{
    WNDCLASSW type = {};
    type.lpfnWndProc = Procedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"KrMessageWaitTest";
    RegisterClassW(&type);
    HWND window = CreateWindowW(L"KrMessageWaitTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                type.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const DWORD waiter = GetCurrentThreadId();
    std::thread signaller([&] {
        Sleep(50);
        PostMessageW(window, WM_APP + 1, 0, 0);
        PostThreadMessageW(waiter, WM_QUIT, 0, 0);
        Sleep(50);
        SendMessageW(window, WM_APP + 1, 0, 0); // only returns when the waiter dispatches
        SetEvent(event);
    });
    g_handled = 0;
    EXPECT_TRUE(kr::wait_with_message_loop(event));
    signaller.join();
    EXPECT_EQ(g_handled, 2);
    MSG left;
    EXPECT_FALSE(PeekMessageW(&left, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    CloseHandle(event);
    EXPECT_FALSE(kr::wait_with_message_loop(nullptr));
    DestroyWindow(window);
}

} // namespace
