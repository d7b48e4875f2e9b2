#pragma once

#include "kr/stringx.h"

namespace kr {

// True when both files carry an embedded signature whose signer certificate
// has the same issuer and serial number; false for an unsigned or unreadable
// file, another kind of signature, or different signers.
bool same_signer(const _stringx& first, const _stringx& second);

} // namespace kr
