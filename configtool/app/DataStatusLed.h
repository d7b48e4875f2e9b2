// The main panel's status indicator: green while the encoder's last single-cycle data says its
// data is good, red while it says otherwise.
#pragma once

// From the SCD words of channel 0 as the last read left them, read by the layout the link is
// configured for (frame length and SSI frame type). A layout without a status bit leaves the
// indicator as it is.
void DisplayVantrel_LED();
