#pragma once

// The interfaces, enumerations and identifiers of the launcher's type library,
// as widl declares them. Include this rather than TessarelLib.h: the optional
// BSTR arguments default to a string literal there.

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#include "TessarelLib.h"
#pragma GCC diagnostic pop
