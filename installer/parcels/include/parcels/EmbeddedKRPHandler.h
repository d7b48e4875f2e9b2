#pragma once

// The script-project setup's progress handler inside the proxy: each error,
// progress and query of the script engine becomes a call-back to the engine
// on the proxy's pipe, and the engine's answer is handed back.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"
#include "parcels/KrpProxyUIHandler.h"

class CProxyHandler;

class CEmbeddedKRPHandler : public CKrpProxyUIHandler {
public:
    // The pipe is not owned and may be null (every call-back then gives 233).
    explicit CEmbeddedKRPHandler(CProxyHandler* pipe) noexcept : m_pipe(pipe) {}
    CEmbeddedKRPHandler(const CEmbeddedKRPHandler&) = delete;
    CEmbeddedKRPHandler& operator=(const CEmbeddedKRPHandler&) = delete;

    using CKrpProxyUIHandler::OnError;
    using CKrpProxyUIHandler::OnProgress;
    using CKrpProxyUIHandler::OnQuery;
    // The proxy never elevates again: ERROR_FUNCTION_NOT_CALLED (1626).
    HRESULT RunElevated(const _stringx& engineDll, const _stringx& target, const _stringx& commandLine) override;
    // The engine's status (a positive one as an HRESULT); 0 when no answer
    // came, with action and cancel left as they were.
    HRESULT OnError(const _stringx& text, int errorFlags, int* action) override;
    HRESULT OnProgress(const _stringx& text, int current, int maximum, int flags, VARIANT_BOOL* cancel) override;
    // Asks the engine for a text: with its kind-4 answer the answer text is
    // replaced and the kind is 4, else the text stays and the kind is 2.
    // 0 either way; 233 without a pipe.
    HRESULT OnQuery(const _stringx& query, int queryKind, _stringx& answer, int* answerKind) override;

private:
    CProxyHandler* m_pipe;
};
