#pragma once

#include "kr/stringx.h"

// The command-line text Windows handed to the entry (after the program name),
// kept for the whole process.
_stringx& ProcessCommandLine();

// Whether the process command line has a name or name=value argument of that
// name (without regard to case); the value is assigned only then. A command
// line that cannot be scanned reports the names after the bad spot as absent.
bool GetCommandLineProperty(const _stringx& name, _stringx& value);

// Empties the table, so the next lookup scans ProcessCommandLine again.
void ResetCommandLineProperties();
