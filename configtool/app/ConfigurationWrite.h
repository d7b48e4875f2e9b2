// Moving the whole configuration between the pages and the encoder's EEPROM: WRITE_CFG_CB writes
// it and restarts the encoder, READ_CFG_CB reads it back onto the pages (both declared with the
// resource's constants). The encoder's modification marker says whether its parameters are still
// as delivered.
#pragma once

// Event data (255, 255) on WRITE_CFG_CB: the factory restore writes, which leaves the marker alone.
inline constexpr int kWriteKeepsMarker = 255;

// Marks the parameters as changed by the tool, or as delivered. Writes the marker only when it says
// otherwise; returns 0 or the code of the failing transfer.
int SetModifiedState();
int ResetModifiedState();
