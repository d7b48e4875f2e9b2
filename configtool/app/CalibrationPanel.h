// The rotary calibration panel: opening it, deleting a calibration stored in the encoder,
// aborting, closing, and leaving the calibration. The callbacks (ROTATIVE_CALIB_CB,
// DELETE_CALIB_CB, ABORT_CALIB_CB, CALIB_PAN_CB) are declared with the resource's constants.
#pragma once

#include <initializer_list>

inline constexpr unsigned short kDefaultPoleCount = 350;

// Text colours of CALIB_NOTIFICATION: guidance, measuring and done, stop requests and errors.
inline constexpr int kCalibBlack = 0x000000;
inline constexpr int kCalibGreen = 0x00FF00;
inline constexpr int kCalibRed = 0xFF0000;

// A step text of the message table in CALIB_NOTIFICATION, in that colour.
void ShowCalibrationText(int text, int colour);
// Dims or undims controls of CALIB_PAN.
void SetCalibControlsDimmed(std::initializer_list<int> controls, bool dimmed);
bool CalibControlDimmed(int control);

// Leaves the calibration: the panel hidden, the main panel active, the encoder restarted. With
// restore the ring parameters in the encoder's EEPROM are cleared first. Returns the last error.
int CalibOff(bool restore);
