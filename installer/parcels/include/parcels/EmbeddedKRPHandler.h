#pragma once

// The script-project setup's progress handler inside the proxy: each error,
// progress and query of the script engine becomes a call-back to the engine
// on the proxy's pipe, and the engine's answer is handed back.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"

class CProxyHandler;

class CEmbeddedKRPHandler {
public:
    // The pipe is not owned and may be null (every call-back then gives 233).
    explicit CEmbeddedKRPHandler(CProxyHandler* pipe) noexcept : m_pipe(pipe) {}
    virtual ~CEmbeddedKRPHandler() = default;
    CEmbeddedKRPHandler(const CEmbeddedKRPHandler&) = delete;
    CEmbeddedKRPHandler& operator=(const CEmbeddedKRPHandler&) = delete;

    // The proxy never elevates again: ERROR_FUNCTION_NOT_CALLED (1626).
    virtual HRESULT RunElevated(const _stringx& engineDll, const _stringx& target, const _stringx& commandLine);
    // The engine's status (a positive one as an HRESULT); 0 when no answer
    // came, with action and cancel left as they were.
    virtual HRESULT OnError(const wchar_t* text, DWORD errorFlags, DWORD* action);
    virtual HRESULT OnProgress(const wchar_t* text, DWORD current, DWORD maximum, DWORD progressFlags,
                               VARIANT_BOOL* cancel);
    // Asks the engine for a text: with its kind-4 answer the answer text is
    // replaced and the kind is 4, else the text stays and the kind is 2.
    // 0 either way; 233 without a pipe.
    virtual HRESULT OnQuery(const wchar_t* query, DWORD queryKind, _stringx& answer, DWORD* answerKind);

private:
    CProxyHandler* m_pipe;
};
