// The link's own use of its services (LinkServices.h).
#pragma once

void ProcessLinkEvents();
// Blocks for seconds x 1000 ms, truncated; nothing is processed meanwhile.
void PauseLink(double seconds);
// Waits the given time while events are processed.
void PauseLinkWithEvents(double seconds);
void ShowLinkProgress(int percent);
