#pragma once

// Files the handlers take from the launcher's payload at run time.

#include "kr/stringx.h"

// Writes the setup stream's file of that name into the engine's staging
// folder and returns its path; empty when the stream is not open, holds no
// such file, or the file cannot be written.
_stringx ExtractPayloadFile(const _stringx& name);
