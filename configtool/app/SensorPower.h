// Switching the encoder off and on from the menu, and restarting it after EEPROM writes.
#pragma once

// Closes the link and puts the panels into the switched-off state.
void PowerOFF();
// Connects and re-identifies; returns the last error, or the compatibility check's result when
// that ended the program.
int PowerON();
// Closes and reopens the link and checks the frame type; on failure the tool goes back to the
// first panel. Returns the last error.
int RestartSensor();
