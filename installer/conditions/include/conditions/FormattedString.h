#pragma once

// Expansion of the bracketed references of a formatted string.

#include "kr/stringx.h"

class CProperties;

// A property that is missing or empty gives the empty text.
_stringx FormatPropertyString(const _stringx& text, const CProperties* context);
// A property that is missing or empty stays as [Name], for a later expansion.
_stringx FormatPropertyStringKeepUnresolved(const _stringx& text, const CProperties* context);
