// Whether the run-time took a user's action, and why not.
#pragma once

namespace cvi {

enum class InputStatus {
    Accepted,
    NoSuchTarget,
    Hidden,
    Dimmed,
    InputOff,
    Indicator,
    PopupBlocked,
    CloseDisabled,
    WrongKind,
    BadValue,
};

const char *InputStatusText(InputStatus status);

} // namespace cvi
