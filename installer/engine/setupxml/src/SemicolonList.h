#pragma once

#include <vector>

#include "kr/stringx.h"

// The pieces of a list separated by ";": empty pieces between separators are
// kept, an empty last piece is not; an empty text has no pieces.
std::vector<_wstringx> SplitSemicolonList(const _wstringx& text);
