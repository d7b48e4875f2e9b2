// Flags of the tool's module state that start-up resets; the comment names the owner of each meaning.
#pragma once

#include <cstdint>

extern std::uint8_t g_expertStart;        // "-expert" on the command line (start-up)
extern std::uint8_t g_expertMode;         // expert password accepted (start-up)
extern std::uint8_t g_calibPanelShown;    // rotary calibration panel open
extern std::uint8_t g_paramFileShown;     // the system page shows a parameter file
extern std::uint8_t g_fileDialogUsed;     // a file dialog has been prepared once
extern std::uint8_t g_sarvikInterface;    // interface variant of the encoder
extern std::uint8_t g_absoluteQuadrature; // interface variant of the encoder
extern std::uint8_t g_reading;            // live reading runs
extern std::uint8_t g_creditReleases;     // clicks on the about panel's release text (about panel)

void ResetToolState();
