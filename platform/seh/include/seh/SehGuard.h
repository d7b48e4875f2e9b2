#pragma once

// Runs a call inside a structured-exception frame: an exception that no frame
// inside the call handles ends the call, and its code becomes the result, as
// an __except block that takes every exception would. Frames inside the call
// are unwound first. For entries of foreign DLLs, whose faults must not end
// the process.

#include <windows.h>

#include <memory>
#include <type_traits>

using SehGuardedCall = DWORD (*)(void* context);

struct SehOutcome {
    DWORD result = 0;    // the call's result, or the exception code
    bool raised = false; // the call ended by an exception
};

// What the exception looked like where it was raised: copies, since the
// frames that held the originals are gone once the guard returns.
struct SehCapture {
    EXCEPTION_RECORD record = {};
    CONTEXT context = {};
};

// capture, when given, receives the exception's record and context.
SehOutcome RunSehGuarded(SehGuardedCall call, void* context, SehCapture* capture = nullptr);

// The same for any callable returning something convertible to DWORD.
template <class Call>
SehOutcome RunSehGuarded(Call&& call, SehCapture* capture = nullptr)
{
    using Plain = std::remove_reference_t<Call>;
    return RunSehGuarded(
        [](void* context) -> DWORD { return static_cast<DWORD>((*static_cast<Plain*>(context))()); },
        const_cast<void*>(static_cast<const void*>(std::addressof(call))), capture);
}
