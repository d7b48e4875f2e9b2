// Handles of the panels and the menu bar loaded at start-up, and the tab pages of the main panel.
#pragma once

inline constexpr char kResourceFile[] = "Vantrel_Kelto.uir";

// 0 while not loaded.
extern int g_mainPanel;
extern int g_menuBar; // the menu bar loaded on its own, for the localisation
extern int g_firstPanel;
extern int g_aboutPanel;
extern int g_calibPanel;
extern int g_warnPanel;
extern int g_passwordPanel;

// The menu bar the main panel shows (dimming, input mode, check marks).
int MainMenuBar();

// Panel handle of tab page 0-3 of TABS, or a negative run-time code.
int GetTabPanel(int index);
int GetActiveTabPanel();
