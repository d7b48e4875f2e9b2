#pragma once

// A recording msi.dll table for the Windows Installer tests. It plays what
// Wine's msi.dll cannot show (patches, transactions, a cancel answered to the
// installer) and forwards the rest to the real msi.dll: records are made,
// read and formatted by the real functions, and installs go to the real
// installer when asked to.

#include <windows.h>

#include <string>
#include <vector>

#include "parcels/MsiFunctions.h"

namespace msi_testing {

// One message the recording run plays into the installed record handler.
struct PlayedMessage {
    UINT type;
    std::vector<std::wstring> fields; // field 0 (the template) first
};

struct MsiScript {
    // Every call, as one text each: "ui 5", "handler 2004fff", "handler restored",
    // "log 1f9e|C:\x.log|0", "log off 0|0", "install pkg|line", "configure code|0|5|line",
    // "patch pkg||0|line", "feature code|name", "begin", "end 1".
    std::vector<std::wstring> calls;
    // The result of the install, configure and patch calls that are played.
    UINT result = 0;
    // Results by call, used in turn before `result`.
    std::vector<UINT> results;
    // Played by the run in order; the record handler's answers are kept.
    std::vector<PlayedMessage> messages;
    std::vector<int> answers;
    // Installs and reconfigurations go to the real msi.dll (after the messages).
    bool realRuns = false;
    INT featureState = 3;
};

// Cleared by Reset.
MsiScript& Script();
void Reset();
// The recording table; the real functions fill what it does not record.
const MsiFunctions& RecordingTable();

// Real msi.dll: a record with the given fields (field 0 first); closed by the caller.
MSIHANDLE_VALUE MakeRecord(const std::vector<std::wstring>& fields);
void CloseRecord(MSIHANDLE_VALUE record);

} // namespace msi_testing
