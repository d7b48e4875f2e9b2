// The chip blocks' checksums on the expert pages: the CRC bytes the image holds and the error
// indicators that compare them with what the blocks' bytes give.
#pragma once

#include "BlockCrc.h"

// For each block the report computed: its error indicators show whether the computed checksum
// differs from the stored byte. A block the report did not compute leaves its indicators; a
// computed checksum of 0 is checked like any other.
void CheckCRCs(const calvista::CrcReport &report);

// CheckCRCs, then the stored CRC bytes of the computed blocks in their displays.
void ShowCRCs(const calvista::CrcReport &report);
