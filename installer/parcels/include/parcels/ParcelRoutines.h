#pragma once

// Small routines kept with the parcel that serve its handlers.

#include "automation/Interfaces.h"
#include "kr/stringx.h"

// The progress state OnParcelEvent reports for an action state.
EnumParcelProgressState ParcelProgressStateOf(int actionState) noexcept;

// first + " " + second, without a blank next to an empty part.
_stringx JoinWithSpace(const _stringx& first, const _stringx& second);

// The text with the value of every hidden engine property replaced by ten
// asterisks, so that it can be logged.
_stringx MaskHiddenPropertyValues(const _stringx& text);

// Whether a reboot a parcel asked for happens now: in a silent run unless
// KRSUITEREBOOT is "suppress", otherwise as the user interface answers.
bool QueryRebootNow(IParcel* parcel);
