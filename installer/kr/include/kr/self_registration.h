#pragma once

// Self-registration of COM servers and type libraries, chosen by the file's
// extension, machine-wide or for the current user only.

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// .EXE (never per user), .TLB, .DLL and .OCX (the DLL's own entry, else a type
// library inside it). The library state holds the file and a failing code.
bool self_register(const _stringx& path, bool do_register, bool per_user);
// Runs the program with /REGSERVER or /UNREGSERVER; it must end within 5 s
// with exit code 0.
bool self_register_exe(const _stringx& path, bool do_register);
bool self_register_dll(const _stringx& path, bool do_register, bool per_user);
bool self_register_typelib(const _stringx& path, bool do_register, bool per_user);

// While active, HKEY_CLASSES_ROOT of this process is the user's
// Software\Classes. The scope that activated it restores the real one.
class classes_root_override {
public:
    classes_root_override() noexcept = default;
    ~classes_root_override();
    classes_root_override(const classes_root_override&) = delete;
    classes_root_override& operator=(const classes_root_override&) = delete;

    bool activate();
    void restore();
    bool active() const noexcept { return active_; }

private:
    bool active_ = false;
};

} // namespace kr
