#pragma once

// A group element of a condition tree (Any, All or Not) and the members it owns.

#include <memory>
#include <vector>

#include "conditions/Condition.h"

enum ConditionGroupKind {
    cgkAny = 0,
    cgkAll = 1,
    cgkNot = 2,
    cgkNotSet = 3,
};

class CConditionGroup : public CCondition {
public:
    CConditionGroup();
    ~CConditionGroup() override;

    int Kind() const noexcept { return m_kind; }
    void SetKind(int kind) noexcept { m_kind = kind; }

    // Constructs a leaf of the kind as a new member; null (and no member) for a
    // kind that cannot be made. The group keeps ownership.
    CCondition* CreateCondition(int kind);
    // A nested group, or any other condition made elsewhere.
    void AddCondition(std::unique_ptr<CCondition> member);
    size_t Count() const noexcept { return m_members.size(); }

    // Validates each member not validated yet; the first failure is thrown as
    // invalid_condition_exception with the member's texts.
    HRESULT Validate() override;
    // Every member is evaluated (no short cut); a member's failure ends it.
    HRESULT Evaluate(bool* result) override;

private:
    std::vector<std::unique_ptr<CCondition>> m_members;
    int m_kind = cgkNotSet;
};
