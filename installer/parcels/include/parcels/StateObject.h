#pragma once

// Objects that restore themselves from the suite's state file: each saved key
// of their section is handed to them as one entry.

#include "kr/stringx.h"

class CStateEntry {
public:
    CStateEntry(const _stringx& name, const _stringx& value) : m_name(name), m_value(value) {}

    _stringx GetName() const { return m_name; }
    _stringx GetString() const { return m_value; }
    // Decimal or "0x" hexadecimal; 0 when absent or not a number.
    int GetInt() const;
    // "Yes", "Y", "1" or "True" in any case.
    bool GetBool() const;

private:
    _stringx m_name;
    _stringx m_value;
};

class IStateObject {
public:
    virtual void LoadStateValue(const CStateEntry& entry) = 0;

protected:
    ~IStateObject() = default;
};
