// Shows the model in real windows: top-level panels with their menus, tab controls with their
// pages, and native or owner-drawn controls. User input is handed to the model, which decides
// whether it counts; the event loop waits for window messages until the next timer is due.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

#include "Runtime.h"
#include "RuntimeHost.h"
#include "cvi/Services.h"

namespace cvi {

class Win32View final : public EventSource, public ModelObserver {
public:
    // waitForMessages false: the loop never blocks on windows; time jumps to the next deadline
    // (for a virtual clock), and the windows are drawn and their input taken as it comes.
    explicit Win32View(Clock &clock, bool waitForMessages = true);
    ~Win32View() override;
    Win32View(const Win32View &) = delete;
    Win32View &operator=(const Win32View &) = delete;

    // Builds windows for what the model holds and follows it from then on.
    void Attach(Runtime &runtime);
    // Takes every window down; the model stays.
    void Detach();

    HWND PanelWindow(int panel) const;
    HWND ControlWindow(int panel, int control) const;

    bool WaitForInput(std::optional<std::int64_t> deadlineUs) override;
    void PumpInput() override;
    void PumpDrawing() override;

    void OnModelChange(const ModelChange &change) override;
    bool CapturePanel(int panel, Bitmap &bitmap) override;
    bool ControlBox(int panel, int control, PictureBox &box) override;

private:
    struct ControlWindows {
        HWND main = nullptr;
        HWND label = nullptr;
        HWND spin = nullptr;
        std::vector<int> tabPages; // page index of each tab item
    };
    struct PanelWindows {
        HWND window = nullptr;
        HMENU menu = nullptr;
        HACCEL accelerators = nullptr;
        std::vector<ControlWindows> controls;
    };

    static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data);
    LRESULT HandlePanelMessage(int panel, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleEditKey(HWND edit, UINT message, WPARAM wParam);
    bool EscapeClosesPopup(HWND target);

    void CreatePanel(int panel);
    void DestroyPanel(int panel);
    void CreateControl(int panel, const Control &control);
    void SyncPanel(int panel);
    void SyncControl(int panel, int control);
    void SyncPages(int panel);
    void SyncTab(int panel, const Control &tab, ControlWindows &windows);
    void SyncMenu(int panel);
    void SyncModality();
    void PlacePage(int page);
    int PanelOfWindow(HWND window) const;
    bool FindControlOfWindow(HWND window, int *panel, int *control) const;
    void Give(UserInput input);

    Clock &clock_;
    bool waitForMessages_;
    Runtime *runtime_ = nullptr;
    std::map<int, PanelWindows> panels_;
    std::map<HWND, int> windowPanels_;
    bool syncing_ = false;
};

} // namespace cvi
