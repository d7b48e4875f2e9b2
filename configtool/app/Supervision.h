// Watching the connected encoder and going back to the search for one.
#pragma once

// Back to the first panel; the connection attempts start again from the reset settings.
void RestartApp();
// Hides the status LEDs and shows the encoder as not connected.
void DisableVantrel_LED();
// A transfer failed part-way: MAIN_TIMER is enabled so supervision decides what became of the
// encoder. Returns the code.
int FailWithSupervision(int code);
