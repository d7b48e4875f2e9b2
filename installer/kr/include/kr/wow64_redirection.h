#pragma once

#include <cstddef>

namespace kr {

// Switches the WOW64 file-system redirection off (revert false) or undoes the
// most recent switch (revert true); calls nest, innermost undone first. False
// outside WOW64 or when nothing took effect.
bool wow64_redirection(bool revert);

// How many switches wait to be undone.
size_t wow64_redirection_depth();

} // namespace kr
