#pragma once

// An extension call from the proxy to the engine (requests 9 and 13): the
// call's record goes out as a request, the engine accepts it and then sends
// the result record.

#include <windows.h>

#include <optional>
#include <vector>

#include "parcels/PipeRecords.h"

class CProxyHandler;

struct ExtensionCallOutcome {
    // The record's HRESULT; else a failed pipe as HRESULT_FROM_WIN32, the
    // engine's refusal as it came, or S_FALSE when the result record is
    // missing or too short for its result.
    HRESULT status = S_OK;
    std::optional<ExtensionCallResult> result;
};

// A null pipe fails as a lost one.
ExtensionCallOutcome CallEngineExtension(CProxyHandler* pipe, DWORD code, const std::vector<BYTE>& record);
