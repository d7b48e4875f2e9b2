// The program's own texts in both languages (Windows-1252): popup titles, button labels,
// messages, notifications and calibration steps. Every entry is a text; none is null.
#pragma once

inline constexpr int kMessageCount = 92;

extern const char *const kEnglishMessages[kMessageCount];
extern const char *const kGermanMessages[kMessageCount];
