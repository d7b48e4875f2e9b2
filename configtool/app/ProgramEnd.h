// The ways out of a connection that end the program.
#pragma once

// Closes the link and resets its state, then pauses 1 s.
void Disconnect();
// Stops the three timers, disconnects and ends the event loop.
void TerminateApp();
