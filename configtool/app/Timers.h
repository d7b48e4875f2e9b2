// The three timer controls: connection attempts, supervision and live reading.
#pragma once

enum class ToolTimer { Init, Main, Read };

void SetTimerEnabled(ToolTimer timer, bool enabled);
bool IsTimerEnabled(ToolTimer timer);
