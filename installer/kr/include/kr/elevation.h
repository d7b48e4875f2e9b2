#pragma once

#include <windows.h>

namespace kr {

// Groups token_has_group can test for.
enum class token_group { administrators, power_users };

// Whether the thread's token (else the process's) holds the group; with
// check_deny_only a group that is there for denial only does not count.
bool token_has_group(token_group group, bool check_deny_only);
// True when the process may act as administrator.
bool is_elevated();

} // namespace kr
