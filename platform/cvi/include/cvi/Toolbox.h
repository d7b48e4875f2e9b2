// Waiting with event processing and handing documents to the desktop.
#pragma once

// Waits the given seconds of the run-time's clock while events and timers are processed.
int DelayWithEventProcessing(double seconds);

// Opens a file or web address in the program the desktop associates with it. 0 or negative.
int OpenDocumentInDefaultViewer(const char *document, int displayMode);
