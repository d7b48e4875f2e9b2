// The ring parameters of a rotary encoder from the pole count the operator confirms on the
// calibration panel: the code length and start value of the ring's pseudo-random code, written
// into the encoder, which is then restarted with the raw calibration output in BiSS mode.
// POLE_NUM_CB is declared with the resource's constants.
#pragma once

#include <cstdint>

// The Enter key and a value change of POLE_NUM, in either order, start one calculation. Opening
// the panel and deleting a calibration count as a change; leaving the calibration clears both.
extern std::uint8_t PoleEnterPending;
extern std::uint8_t PoleChangePending;

// Returns the last error (0 = success, also when the encoder or the pole count refuses the
// calculation, which the panel then shows).
int CalculateRingParams();
