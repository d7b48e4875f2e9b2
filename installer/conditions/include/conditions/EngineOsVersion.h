#pragma once

// The Windows version as the engine read it once: the only source of the
// version for conditions, so a test fills it in one place.

#include <windows.h>

// All zero when no engine is registered.
const OSVERSIONINFOEXW& EngineOsVersionInfo();
// major * 100 + minor, the form version bounds are written in.
unsigned EngineOsVersionNumber();
