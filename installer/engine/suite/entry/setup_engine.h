#pragma once

// The engine as the launcher's entry knows it.

#include "suite/SetupEngine.h"
