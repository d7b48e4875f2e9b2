#pragma once

// What the engine's automation face asks of parts built elsewhere: the
// suite's actions, which event actions and the user interface run by id, and
// the loading of the user-interface resource.

#include <windows.h>

#include <functional>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CResource;

// One action of the suite, found by its id.
class ISuiteAction {
public:
    virtual ~ISuiteAction() = default;

    virtual _stringx GetId() const = 0;
    // Runs the action on behalf of the parcel, or of the suite when none.
    virtual HRESULT Execute(IParcel2* parcel) = 0;
};

// Loads the user-interface resource and gives its module; the failure otherwise.
using UIResourceLoader = std::function<HRESULT(CResource& resource, HMODULE& module)>;

// The event types of the suite's own event actions, as ParseEventType gives them.
enum SuiteEventType : int {
    kSuiteOnBegin = 0,
    kSuiteOnResuming = 1,
    kSuiteOnStaging = 2,
    kSuiteOnStaged = 3,
    kSuiteOnParcelsInstalling = 4,
    kSuiteOnParcelsInstalled = 5,
    kSuiteOnRebooting = 6,
    kSuiteOnEnd = 7,
};
