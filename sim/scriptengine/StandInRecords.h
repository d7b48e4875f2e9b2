#pragma once

// What the script-engine stand-in was asked to do, in order, for the tests
// that load it: engine calls and the script's own Host.Record lines.

#include <string>

void Record(const std::wstring& line);
