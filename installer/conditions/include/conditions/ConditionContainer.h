#pragma once

// Everything that holds one optional condition tree: parcels, features, event
// actions, property setters, abort conditions and install modes.

#include <memory>

class CCondition;

class IConditionContainer {
public:
    // Takes ownership; the tree held before is destroyed. Null clears it.
    virtual void SetCondition(std::unique_ptr<CCondition> condition) = 0;

protected:
    ~IConditionContainer() = default;
};

// The one body of SetCondition that the containers share.
class CConditionOwner : public IConditionContainer {
public:
    CConditionOwner();
    CConditionOwner(const CConditionOwner&) = delete;
    CConditionOwner& operator=(const CConditionOwner&) = delete;
    virtual ~CConditionOwner();

    void SetCondition(std::unique_ptr<CCondition> condition) override;
    CCondition* Condition() const noexcept { return m_condition.get(); }

private:
    std::unique_ptr<CCondition> m_condition;
};
