// What the sensor link needs of the user interface around its ferrolink calls: event processing
// between single calls, the two kinds of pause and the main progress bar. The program hands in
// its run-time's functions at start-up; until then the link pauses with Windows Sleep and
// processes nothing.
#pragma once

struct SensorLinkServices {
    int (*processEvents)() = nullptr;                  // pending events and timers, once
    int (*delayWithEvents)(double seconds) = nullptr;  // a pause that keeps processing events
    void (*sleep)(unsigned milliseconds) = nullptr;    // a pause that processes nothing
    void (*setProgress)(int percent) = nullptr;        // the main progress bar, 0-100
};

// Null members take the defaults: no event processing, Sleep, a pause without events, no progress.
void SetSensorLinkServices(const SensorLinkServices &services);
