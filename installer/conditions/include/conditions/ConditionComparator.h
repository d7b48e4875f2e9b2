#pragma once

// How a condition compares the value found on the machine with the value
// written in setup.xml: the "Compare" attribute of the comparing kinds.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"

enum ConditionCompareOperator {
    ccoLessThan = 0,
    ccoLessEqual = 1,
    ccoGreaterThan = 2,
    ccoGreaterEqual = 3,
    ccoEqual = 4,
    ccoHasFlags = 5,
    ccoContains = 6,
    ccoAnyContains = 7,
    ccoStartsWith = 8,
    ccoEndsWith = 9,
    ccoAnyStartsWith = 10,
    ccoAnyEndsWith = 11,
    ccoNotEqual = 12,
    ccoNotSet = 13,
};

class CConditionComparator {
public:
    CConditionComparator(const CConditionComparator&) = delete;
    CConditionComparator& operator=(const CConditionComparator&) = delete;
    virtual ~CConditionComparator();

    // The kind's attribute of that name (any case); the empty text when absent.
    virtual _stringx GetAttribute(const _stringx& name) const = 0;

    // Reads "Compare"; E_INVALIDARG (operator unchanged) when it names none.
    HRESULT Parse();
    // E_INVALIDARG without an operator, for two different VARIANT types or for
    // a type that cannot be compared. Texts compare without regard to case.
    // A text list that is not one-dimensional throws kr::safe_array_exception.
    HRESULT Compare(const VARIANT& actual, const VARIANT& expected, bool* result) const;

    int Operator() const noexcept { return m_operator; }

protected:
    CConditionComparator() = default;

private:
    int m_operator = ccoNotSet;
};
