#pragma once

// The Windows Installer message handler inside the proxy process: msi.dll
// runs here, and each error, progress or files-in-use message goes to the
// engine as a call-back of request 2, whose answer is handed back to msi.dll.

#include "parcels/MsiUIHandlerProxy.h"

class CNamedPipeHandler;
struct MsiInstallRequest;

class CEmbeddedMSIHandler : public CMsiUIHandlerProxy {
public:
    // The pipe end is not owned; null answers every call-back with 233.
    explicit CEmbeddedMSIHandler(CNamedPipeHandler* pipe) noexcept : m_pipe(pipe) {}

    // The proxy never elevates again: 1626 (ERROR_FUNCTION_NOT_CALLED).
    UINT RunElevated(const _stringx& target, const _stringx& commandLine, int kind, int uiType, bool patch,
                     const _stringx& logFile, DWORD logMode) override;
    HRESULT OnError(const _stringx& message, int errorFlags, int* action) override;
    HRESULT OnProgress(const _stringx& message, int current, int maximum, int flags, VARIANT_BOOL* cancel) override;
    HRESULT OnFilesInUse(const _stringx& message, int* action, short restartManager) override;

private:
    // Sends the call-back and reads the answer into cancel and action; 0 and
    // nothing changed when no answer of 12 bytes came back.
    HRESULT Exchange(DWORD code, DWORD flags, DWORD progressFlags, int current, int maximum, const _stringx& text,
                     DWORD* cancel, DWORD* action);

    CNamedPipeHandler* m_pipe;
};

// Request 2's work in the proxy: the package run with a handler on this pipe
// and the given msi.dll functions; the Windows Installer result.
DWORD RunEmbeddedMsiInstall(CNamedPipeHandler& pipe, const MsiInstallRequest& request, const MsiFunctions& msi);
