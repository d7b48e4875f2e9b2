#pragma once

#include <windows.h>

#include "kr/message_box.h"
#include "kr/stringx.h"

// Tells the user that the trace log cannot be written (0x8004071A, error 1622
// and the system's text of 1622 in the user's language), with an error icon.
void ShowLogFailureMessage(const _stringx& caption);

// The call that shows a message box; tests put a recorder in its place, since
// a real box blocks or fails without a user. Returns the one before.
using message_box_function = kr::message_box_function;
message_box_function SetMessageBoxFunction(message_box_function function);
