#pragma once

// The abstract condition: a group or a typed leaf of a setup.xml condition
// tree. A leaf keeps its element's attributes in its bag, reads and checks
// them once in Validate and computes its result in Evaluate, as often as its
// owner asks.

#include <windows.h>

#include "kr/stringx.h"
#include "properties/Properties.h"

class CCondition {
public:
    CCondition() = default;
    CCondition(const CCondition&) = delete;
    CCondition& operator=(const CCondition&) = delete;
    virtual ~CCondition();

    // The "Convert" and "CompareTo" texts of the kinds that convert and compare.
    virtual _stringx GetConvertValue() const;
    virtual _stringx GetCompareToValue() const;
    // Expands a formatted string through the engine.
    virtual _stringx FormatString(const _stringx& text) const;
    // Only the extension kind keeps the element's namespace and name.
    virtual void SetExtension(const _stringx& namespaceUri, const _stringx& name);
    virtual HRESULT Validate() = 0;
    // A failure means that no result was computed.
    virtual HRESULT Evaluate(bool* result) = 0;

    // The element's attributes as read.
    CProperties& Attributes() noexcept { return m_attributes; }
    const CProperties& Attributes() const noexcept { return m_attributes; }
    // Attribute names of conditions match without regard to case.
    _stringx ReadAttribute(const _stringx& name) const { return m_attributes.GetAttributeNoCase(name); }

    // Set by the enclosing group once Validate succeeded, so it runs once.
    bool IsValidated() const noexcept { return m_validated; }
    void MarkValidated() noexcept { m_validated = true; }

private:
    CProperties m_attributes;
    bool m_validated = false;
};
