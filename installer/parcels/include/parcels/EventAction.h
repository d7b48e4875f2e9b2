#pragma once

// Event actions: a suite action tied by its Id to a moment of the suite's
// life, with an optional text for the user interface and an optional entry
// condition. The engine keeps the suite's events, a parcel its two own
// (OnParcelConfiguring and OnParcelConfigured); the setup.xml reader hands
// each its attributes and condition.

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

class CEventAction : public IEventAction {
public:
    explicit CEventAction(const _stringx& actionId);

    // The event type an event element's name gives.
    static int ParseEventType(const _stringx& elementName) { return ::ParseEventType(elementName); }

    // Only "DisplayText" (any case) is kept; other attributes leave no trace.
    void SetAttribute(const _stringx& name, const _stringx& value) override;
    void SetCondition(std::unique_ptr<CCondition> condition) override;
    // A condition that fails to evaluate is logged and counts as false.
    bool EvaluateEntryCondition() override;
    _stringx GetActionId() const override { return m_actionId; }
    _stringx GetDisplayText() const override { return m_displayText; }

private:
    CConditionOwner m_condition;
    _stringx m_actionId;
    _stringx m_displayText;
};

// A new event action for an action id.
std::unique_ptr<IEventAction> MakeEventAction(const _stringx& actionId);

class IEventContainer {
public:
    // The new event action, owned by the container, or none when the container
    // does not keep events of that type.
    virtual IEventAction* AddEventAction(int eventType, const _stringx& actionId) = 0;

protected:
    ~IEventContainer() = default;
};
