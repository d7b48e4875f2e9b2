// What the tool shows about the connected encoder.
#pragma once

// "Linear", or "Rotary (n poles)" from the pole count of the ring-parameter fields, in the
// application-type slot of the main panel.
void SetVantrelApplicationType();
