// What the encoder's firmware decides in the tool: rotary calibration, the BiSS frame length, the
// SSI frame type, the frame-type setting and which live displays make sense.
#pragma once

#include <cstdint>

struct FirmwareState {
    std::int32_t number = 0;        // from the firmware text; 0 = unknown
    bool frameTypeCapable = false;  // the frame type can be chosen
};

extern FirmwareState g_firmware;

// Takes the firmware number from the firmware text and with it the frame-type capability.
void SetFirmwareFromText(const char *text);

// Each part runs only when its argument is true: calibration (the rotary calibration button),
// frame (BiSS only: SCD frame length 40 or 54 and the displays that go with it), display (SSI
// frame type, VEF displays, error indicators and frame type by firmware).
void SetFwVerSpecific(bool calibration, bool frame, bool display);
