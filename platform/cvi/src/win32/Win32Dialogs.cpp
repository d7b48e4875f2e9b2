#include "win32/Win32Dialogs.h"

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "cvi/UserInterface.h"
#include "win32/WindowPlacement.h"

namespace cvi {

namespace {

constexpr char kPopupClass[] = "CviPopupWindow";
constexpr int kMargin = 12;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 24;

struct PopupState {
    int answer = 0;
    int escapeButton = 0;
    bool isMessage = false;
};

LRESULT CALLBACK PopupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA *>(lParam)->lpCreateParams));
    auto *state = reinterpret_cast<PopupState *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_COMMAND:
        if (state && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) >= 1 && LOWORD(wParam) <= 3)
            state->answer = LOWORD(wParam);
        return 0;
    case WM_CLOSE:
        // The close box counts as Escape; a message has only its OK.
        if (state)
            state->answer = state->isMessage ? 1 : state->escapeButton;
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void RegisterPopupClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = PopupProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPopupClass;
    registered = RegisterClassExA(&windowClass) != 0;
}

BOOL CALLBACK CollectEnabled(HWND window, LPARAM param)
{
    if (IsWindowEnabled(window) && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND> *>(param)->push_back(window);
    return TRUE;
}

int ShowPopup(const GenericPopupRequest &request, bool isMessage)
{
    RegisterPopupClass();
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    RECT textArea{0, 0, 420, 0};
    DrawTextA(screen, request.message.c_str(), -1, &textArea, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);

    std::vector<int> buttons;
    for (int i = 0; i < 3; ++i) {
        if (!request.buttons[i].empty())
            buttons.push_back(i + 1);
    }
    const int buttonsWidth = static_cast<int>(buttons.size()) * (kButtonWidth + 8) - 8;
    const int clientWidth = std::max<int>(textArea.right, buttonsWidth) + 2 * kMargin;
    const int clientHeight = textArea.bottom + 3 * kMargin + kButtonHeight;
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);

    PopupState state;
    state.escapeButton = request.escapeButton;
    state.isMessage = isMessage;
    HWND owner = GetActiveWindow();
    HWND popup = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kPopupClass, request.title.c_str(), style,
                                 CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                                 owner, nullptr, GetModuleHandleA(nullptr), &state);
    if (!popup)
        return UIE_POPUP_UNANSWERED;
    HWND text = CreateWindowExA(0, "STATIC", request.message.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                                kMargin, kMargin, textArea.right, textArea.bottom, popup, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    SendMessageA(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int x = request.alignment == VAL_GENERIC_POPUP_ALIGN_LEFT ? kMargin
            : request.alignment == VAL_GENERIC_POPUP_ALIGN_RIGHT ? clientWidth - kMargin - buttonsWidth
                                                                 : (clientWidth - buttonsWidth) / 2;
    HWND focus = nullptr;
    for (int button : buttons) {
        HWND control = CreateWindowExA(0, "BUTTON", request.buttons[button - 1].c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, x,
                                       textArea.bottom + 2 * kMargin, kButtonWidth, kButtonHeight, popup,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(button)),
                                       GetModuleHandleA(nullptr), nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (button == request.activeButton)
            focus = control;
        x += kButtonWidth + 8;
    }

    // Modal: the program's other windows take no input until the popup is answered.
    std::vector<HWND> disabled;
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&disabled));
    std::erase(disabled, popup);
    for (HWND window : disabled)
        EnableWindow(window, FALSE);
    CentreWindow(popup, owner);
    ShowWindow(popup, SW_SHOW);
    SetForegroundWindow(popup);
    if (focus)
        SetFocus(focus);

    MSG message;
    int result = UIE_POPUP_UNANSWERED;
    while (state.answer == 0) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (message.message == WM_KEYDOWN && (message.hwnd == popup || IsChild(popup, message.hwnd))) {
            if (message.wParam == VK_RETURN) {
                const int enter = isMessage ? 1 : request.enterButton;
                if (enter != 0)
                    state.answer = enter;
                continue;
            }
            if (message.wParam == VK_ESCAPE) {
                const int escape = isMessage ? 1 : request.escapeButton;
                if (escape != 0)
                    state.answer = escape;
                continue;
            }
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (state.answer != 0)
        result = state.answer;
    for (HWND window : disabled)
        EnableWindow(window, TRUE);
    DestroyWindow(popup);
    if (owner && IsWindow(owner))
        SetActiveWindow(owner);
    return result;
}

// The file dialog opens centred on the panel that asked, once it has laid itself out.
UINT_PTR CALLBACK CentreFileDialog(HWND child, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR *>(lParam)->code == CDN_INITDONE) {
        HWND dialog = GetParent(child);
        CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
    }
    return 0;
}

std::string Extension(const std::string &pattern)
{
    const std::size_t slash = pattern.find_last_of("\\/");
    const std::size_t dot = pattern.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return pattern.substr(dot + 1);
}

} // namespace

int Win32Dialogs::Message(const std::string &title, const std::string &message)
{
    GenericPopupRequest request;
    request.title = title;
    request.message = message;
    request.buttons = {"OK", "", ""};
    request.enterButton = 1;
    request.escapeButton = 1;
    const int result = ShowPopup(request, true);
    return result < 0 ? result : 0;
}

int Win32Dialogs::Generic(const GenericPopupRequest &request)
{
    return ShowPopup(request, false);
}

int Win32Dialogs::SelectFile(const FileSelectRequest &request, FileSelectAnswer &answer)
{
    const std::string extension = Extension(request.defaultFileSpec);
    const bool wildcard = request.defaultFileSpec.find_first_of("*?") != std::string::npos;
    std::string filter;
    if (!extension.empty() && extension.find_first_of("*?") == std::string::npos)
        filter += extension + " files" + '\0' + "*." + extension + '\0';
    if (!request.restrictExtension || filter.empty())
        filter += std::string("All files") + '\0' + "*.*" + '\0';
    filter += '\0';

    char path[MAX_PATH] = {};
    if (!wildcard)
        request.defaultFileSpec.copy(path, MAX_PATH - 1);
    const std::string directory =
        request.defaultDirectory.find_first_not_of(' ') == std::string::npos ? std::string() : request.defaultDirectory;

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = GetActiveWindow();
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrTitle = request.title.c_str();
    dialog.lpstrDefExt = extension.empty() || wildcard ? nullptr : extension.c_str();
    dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLEHOOK;
    dialog.lpfnHook = CentreFileDialog;
    const BOOL chosen = request.buttonLabel == VAL_SAVE_BUTTON ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
    if (!chosen) {
        answer.chosen = false;
        return CommDlgExtendedError() == 0 ? 0 : UIE_FILE;
    }
    answer.chosen = true;
    answer.path = path;
    return 0;
}

int Win32Dialogs::OpenDocument(const std::string &document, int displayMode)
{
    const int show = displayMode > 0 ? displayMode : SW_SHOWNORMAL;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", document.c_str(), nullptr, nullptr, show));
    return result > 32 ? 0 : UIE_FILE;
}

} // namespace cvi
