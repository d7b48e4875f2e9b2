// The chip page's inputs that need more than the generic handling: the sine and cosine offsets,
// snapped to the chip's offset step, and the amplitude mode, which decides the amplitudes offered.
// Their callbacks (ROUND_SINOFFS_CB, ROUND_COSOFFS_CB, SELAMPL_CB) are declared with the
// resource's constants.
#pragma once

// Rounds the number a control of tab page tabPageIndex holds to a multiple of step and writes it
// back.
void RoundCtrlToStep(int tabPageIndex, int control, double step);
