// Shared by the C-style entry points: every call acts on the installed run-time.
#pragma once

#include "Runtime.h"

namespace cvi {

template <typename Action>
int WithRuntime(Action action)
{
    Runtime *runtime = Runtime::Current();
    return runtime ? action(*runtime) : UIE_NOT_INITIALISED;
}

} // namespace cvi
