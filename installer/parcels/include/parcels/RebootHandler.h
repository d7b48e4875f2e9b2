#pragma once

// Whether a package asked for a reboot: by an exit code of the handler's list,
// or by leaving reboot work behind (new RunOnce or RunOnceEx values, a longer
// list of pending file renames) since the snapshot taken before it ran.

#include <windows.h>

#include <vector>

#include "kr/stringx.h"

// The six indicators, in the order they are compared.
struct RebootIndicators {
    LONG hklmRunOnce = 0;
    LONG hklmRunOnce64 = 0;
    LONG hkcuRunOnce = 0;
    LONG hklmRunOnceEx = 0;
    LONG hklmRunOnceEx64 = 0;
    LONG pendingRenamesSize = 0;
};

class CRebootHandler {
public:
    CRebootHandler() = default;
    CRebootHandler(const CRebootHandler&) = delete;
    CRebootHandler& operator=(const CRebootHandler&) = delete;
    virtual ~CRebootHandler();

    // The exit codes that mean a reboot is needed.
    virtual void GetRebootCodes(std::vector<DWORD>& codes) = 0;

    void TakeSnapshot();
    bool IsSnapshotTaken() const noexcept { return m_snapshotTaken; }
    // With testIndicators, IndicatorsChanged runs first (it logs even when the code alone decides).
    bool IsRebootRequired(DWORD exitCode, bool testIndicators);
    // True at the first indicator that grew since the snapshot; never without one.
    bool IndicatorsChanged();

    static RebootIndicators ReadIndicators();
    // 0 when the key cannot be opened. view64 asks for the 64-bit view on 64-bit Windows.
    static LONG CountRegistryValues(HKEY root, const _stringx& keyPath, bool view64);
    // Data size in bytes of a value under HKEY_LOCAL_MACHINE; 0 when missing.
    static LONG ReadValueSize(const _stringx& keyPath, const _stringx& valueName);

private:
    RebootIndicators m_snapshot;
    bool m_snapshotTaken = false;
};
