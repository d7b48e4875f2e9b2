// The busy state around long operations, the main progress bar and the blocking pause. The
// run-time's sleep policy doubles as the activity state: 3 idle, 1 busy, 2 live reading.
#pragma once

// Enters the busy state and shows that message of the message table in MAIN_MESSAGE.
void SetLoadstate(int message);
void ReleaseLoadstate();
void SetProgress(int percent);
// Blocks for seconds x 1000 ms, truncated; nothing is processed meanwhile.
void MillisecSleep(double seconds);
