#pragma once

// Runs a call inside a structured-exception frame: an exception that no frame
// inside the call handles ends the call, and its code becomes the result, as
// an __except block that takes every exception would. Frames inside the call
// are unwound first. For entries of foreign DLLs, whose faults must not end
// the process.

#include <windows.h>

using SehGuardedCall = DWORD (*)(void* context);

struct SehOutcome {
    DWORD result = 0;    // the call's result, or the exception code
    bool raised = false; // the call ended by an exception
};

SehOutcome RunSehGuarded(SehGuardedCall call, void* context);

// The same for any callable returning something convertible to DWORD.
template <class Call>
SehOutcome RunSehGuarded(Call&& call)
{
    return RunSehGuarded(
        [](void* context) -> DWORD { return static_cast<DWORD>((*static_cast<Call*>(context))()); }, &call);
}
