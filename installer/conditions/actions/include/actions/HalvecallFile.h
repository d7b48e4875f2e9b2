#pragma once

// The managed-code DLL that PowerShell and managed-code actions run through,
// written from the setup stream into the staging folder.

#include "kr/stringx.h"

// The DLL's path, or empty when the setup stream does not hold it.
_stringx ProvideHalvecall();
