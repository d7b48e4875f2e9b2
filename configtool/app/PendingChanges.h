// Parameters edited on the pages but not yet written: offered for writing before they are lost.
#pragma once

enum class PendingAnswer { NothingPending, Updated, Cancelled };

// When WRITE_CFG is enabled, asks whether to write the changes first ("Update" runs WRITE_CFG_CB).
PendingAnswer OfferPendingParameterUpdate();
