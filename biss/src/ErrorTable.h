// Level and message of every BISS_ErrorEnum code.
#pragma once

#include <cstdint>

namespace ferrolink {

struct ErrorTableRow {
    uint32_t level;
    const char *text;
};

// The row of a code; codes outside the table get level 5 and " Error Text missing!".
ErrorTableRow LookupError(uint32_t code);

} // namespace ferrolink
