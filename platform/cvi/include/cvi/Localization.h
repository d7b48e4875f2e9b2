// Panel and menu texts from language files (format: see platform/cvi/README.md).
#pragma once

// Apply a language file to a panel (with its tab pages) or to a menu bar. 0, or non-zero when the
// file is missing or malformed (then nothing is changed) or the handle is not valid.
int LocalizePanel(int panel, const char *languageFile);
int LocalizeMenuBar(int menuBar, const char *languageFile);
