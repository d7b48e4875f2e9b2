#pragma once

// The proxy's own work objects for the long requests: each override below
// replaces the base's refusal once its object exists.

#include "parcels/ProxyWorkers.h"

class CMachineWorkers : public CProxyWorkers {
public:
    // Windows Installer packages (request 2).

    // Add/Remove Programs entry (request 8).

    // Extension objects for foreign entries and the certificate import (requests 9, 11, 12, 13, 16).

    // Script projects (request 10).

    // Script engine (request 14).
    HRESULT RunQuillex(CProxyHandler& pipe, HMODULE engine, const _stringx& folder, const QuillexCallData& call,
                       IDispatch* extension) override;
};
