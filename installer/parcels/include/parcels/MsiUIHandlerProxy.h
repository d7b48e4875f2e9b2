#pragma once

// Runs a Windows Installer package, patch or product reconfiguration through
// msi.dll and catches every message the installer would show, turning it into
// the launcher's progress, error and files-in-use answers. The class that
// uses it answers them: the parcel through its events, the proxy over the pipe.

#include <windows.h>

#include "kr/stringx.h"
#include "parcels/MsiFunctions.h"

class CMsiUIHandlerProxy {
public:
    CMsiUIHandlerProxy() noexcept;
    CMsiUIHandlerProxy(const CMsiUIHandlerProxy&) = delete;
    CMsiUIHandlerProxy& operator=(const CMsiUIHandlerProxy&) = delete;
    virtual ~CMsiUIHandlerProxy();

    // The same run in another process; a Windows Installer result.
    virtual UINT RunElevated(const _stringx& target, const _stringx& commandLine, int kind, int uiType, bool patch,
                             const _stringx& logFile, DWORD logMode) = 0;
    // The run in this process, on this thread; a Windows Installer result.
    virtual UINT Install(const _stringx& target, const _stringx& commandLine, int kind, int uiType, bool patch,
                         const _stringx& logFile, DWORD logMode);
    // The answers: action and cancel are the user's, handed back to msi.dll.
    virtual HRESULT OnError(const _stringx& message, int errorFlags, int* action) = 0;
    virtual HRESULT OnProgress(const _stringx& message, int current, int maximum, int flags,
                               VARIANT_BOOL* cancel) = 0;
    virtual HRESULT OnFilesInUse(const _stringx& message, int* action, short restartManager) = 0;

    // The external record handler; the context is the object.
    static INT WINAPI HandleRecord(LPVOID context, UINT messageType, MSIHANDLE_VALUE record);
    // The answer to msi.dll for one formatted message.
    int HandleMessage(UINT messageType, const _stringx& text);

    // msi.dll's functions; tests put a recording table in place. Kept, not copied.
    void SetMsiFunctions(const MsiFunctions& msi) noexcept { m_msi = &msi; }
    const MsiFunctions& Msi() const noexcept { return *m_msi; }

private:
    // The record's text, formatted, through HandleMessage.
    int HandleRecordText(UINT messageType, MSIHANDLE_VALUE record);
    void HandleProgressRecord(const _stringx& text, VARIANT_BOOL* cancel, bool& cancelled);
    void ReportPosition(VARIANT_BOOL* cancel, bool& cancelled);

    const MsiFunctions* m_msi;
    // Progress of the current phase.
    int m_total = 0;
    int m_position = 0;
    int m_step = 0;
    int m_direction = 1;
    bool m_stepping = false;
    bool m_forwardActionText = true;
};
