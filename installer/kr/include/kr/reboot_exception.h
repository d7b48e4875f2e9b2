#pragma once

// A parcel's operation asked for a reboot: now, or at the end of the run.
class reboot_exception {
public:
    explicit reboot_exception(bool restart_now) noexcept : restart_now_(restart_now) {}

    bool restart_now() const noexcept { return restart_now_; }

private:
    bool restart_now_;
};
