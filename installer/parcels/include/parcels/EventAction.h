#pragma once

// What a parcel needs of its event actions (OnParcelConfiguring and
// OnParcelConfigured) and how the setup.xml reader hands them to it. The
// event action class itself comes with the suite's actions; until it is
// registered in MakeEventAction, no event action is made.

#include <memory>

#include "conditions/ConditionContainer.h"
#include "kr/stringx.h"
#include "properties/Properties.h"

// Event types a parcel keeps and runs.
constexpr int kOnParcelConfiguring = 8;
constexpr int kOnParcelConfigured = 9;
// The type of an event element name that names no event: never run.
constexpr int kNoEventType = 13;

// The event type an event element's name gives (compared exactly, case included).
int ParseEventType(const _stringx& elementName);

// One event action: the reader sets its attributes through the bag and its
// entry condition through the container.
class IEventAction : public CProperties, public IConditionContainer {
public:
    // True without a condition; a condition that fails to evaluate counts as false.
    virtual bool EvaluateEntryCondition() = 0;
    virtual _stringx GetActionId() const = 0;
    virtual _stringx GetDisplayText() const = 0;
};

// The event action for an action id; none while no maker is registered.
std::unique_ptr<IEventAction> MakeEventAction(const _stringx& actionId);

class IEventContainer {
public:
    // The new event action, owned by the container, or none when the container
    // does not keep events of that type.
    virtual IEventAction* AddEventAction(int eventType, const _stringx& actionId) = 0;

protected:
    ~IEventContainer() = default;
};
