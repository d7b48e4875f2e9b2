#pragma once

// One call-back from the proxy to the engine while a long request runs: the
// record goes out as a type-2 message and the engine's answer is read, taken
// only when it fits inside its message.

#include <windows.h>

#include <optional>

#include "parcels/PipeRecords.h"

class CProxyHandler;

// Answers the proxy waits for: codes 1 and 2 (and 4 of Windows Installer).
// Nothing when the answer cannot be read or is shorter than 12 bytes.
std::optional<CallbackAnswer> ExchangeCallback(CProxyHandler& pipe, const std::vector<BYTE>& record);

// The answer of a query call-back; nothing when it cannot be read or its
// text runs past the message.
std::optional<QueryAnswer> ExchangeQueryCallback(CProxyHandler& pipe, const std::vector<BYTE>& record);

// The engine's status as the caller returns it: a positive Win32 error as an HRESULT.
HRESULT CallbackStatus(LONG status) noexcept;
