#pragma once

// What staging reaches of the engine: the install mode, the setup source
// folder, the setup stream, the state file's list of staged files, progress
// and questions for the user interface, the source-media prompt and the
// process's WOW64 state; for a parcel's staging, the staging folder and the
// OnStagingParcel event. The engine registers itself when it is constructed.

#include <windows.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class STREAM;

class IStagingHost {
public:
    virtual EnumInstallMode GetInstallMode() = 0;
    // The folder of the running launcher, or the original one when it runs from a temporary copy.
    virtual _stringx GetSourceFolder() = 0;
    // The launcher's setup stream; null when there is none.
    virtual STREAM* GetStream() = 0;
    // The "Files" section of the state file.
    virtual bool IsFileStaged(const _stringx& path) = 0;
    virtual void MarkFileStaged(const _stringx& path) = 0;
    // 0x80070642 when the user interface asks to cancel.
    virtual HRESULT ReportStagingProgress(const _stringx& name, ULONGLONG done, ULONGLONG total) = 0;
    // Asks the user interface for the parcel's source media (OnPromptForSourceMedia);
    // the path given, empty when none was.
    virtual HRESULT ResolveParcelSource(const _stringx& parcelId, _stringx& mediaPath) = 0;
    // The text of a string id in the selected language.
    virtual _stringx ResolveStringId(const _stringx& id) = 0;
    // OnNonFatalError with message-box flags; the button chosen.
    virtual HRESULT Fire_OnNonFatalError(const _stringx& message, int flags, int* answer) = 0;
    virtual bool IsWow64() = 0;
    // Where a package without a folder name of its own is staged.
    virtual _stringx GetStagingFolder() = 0;
    // OnStagingParcel with the engine's answer cell.
    virtual HRESULT Fire_OnStagingParcel(EnumParcelStagingState state, IParcel* parcel) = 0;

protected:
    ~IStagingHost() = default;
};

IStagingHost* StagingHost() noexcept;
void SetStagingHost(IStagingHost* host) noexcept;
