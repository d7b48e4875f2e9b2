#pragma once

// Whether the payload of the running program holds "DebugMarker.dat", which
// switches the trace log on.
bool HasDebugMarker();
