#pragma once

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// The system text of error 1622 (the log cannot be written) in a language;
// empty when the system has none.
_stringx get_log_failure_message(LANGID language);

} // namespace kr
