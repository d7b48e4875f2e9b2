#pragma once

// Folder and address helpers of the engine.

#include "kr/stringx.h"

// The shell folder of a CSIDL; empty (and a log line) when it cannot be read.
_stringx GetSpecialFolderPath(int csidl);

// For an http:// or https:// address: file = the text after its last "/"
// (the scheme left out), folder = the text before that "/"; both empty for
// anything else.
void SplitUrl(const _stringx& url, _stringx& folder, _stringx& file);
_stringx GetUrlFileName(const _stringx& url);
