// The versions of ferrolink and of the BiSS master chip, for the about panel and the status line.
#pragma once

#include "ferrolink.h"

// "BiSS-Master V%u-R%u" at its longest, with its terminator.
inline constexpr int kMasterVersionTextSize = 36;

// minor / 10 + major (6.4); 0.0 when the library gives none. Leaves the last error alone.
double GetDLLVersion();

// Chip id and revision of the master as "BiSS-Master V<id>-R<revision>" into text, which holds
// kMasterVersionTextSize characters. Returns 0 or the code of the first failing read.
int GetMasterVersion(char *text);
