// The table from the callback names of a user-interface resource to the program's functions.
// The generated source of each resource registers one for its file name; LoadPanel and
// LoadMenuBar bind the names through it.
#pragma once

#include <cstddef>

#include "cvi/UserInterface.h"

namespace cvi {

struct UirCallbackBinding {
    const char *name;
    CtrlCallbackPtr control;
    PanelCallbackPtr panel;
    MenuCallbackPtr menu;
};

// Registers the table for the lifetime of the object (a static object of the generated source).
class UirCallbackRegistration {
public:
    UirCallbackRegistration(const char *resourceFile, const UirCallbackBinding *bindings,
                            std::size_t count);
    ~UirCallbackRegistration();
    UirCallbackRegistration(const UirCallbackRegistration &) = delete;
    UirCallbackRegistration &operator=(const UirCallbackRegistration &) = delete;

private:
    const char *resourceFile_;
};

} // namespace cvi
