// Parameters edited on the pages but not yet written: offered for writing before they are lost.
#pragma once

// When WRITE_CFG is enabled, asks whether to write them first ("Update" writes).
// Returns true when the question was asked and "Update" was chosen.
bool OfferPendingParameterUpdate();
