#pragma once

// "RegistryExists": a registry key, or a value under it, exists.

#include <windows.h>

#include "conditions/Condition.h"

class CRegistryExistsCondition : public CCondition {
public:
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

protected:
    // The key and value as they read now: Key and ValueName are expanded at
    // every evaluation, so a property that changed changes the key read.
    struct Target {
        HKEY root = nullptr;
        _stringx subKey;
        _stringx valueName;
    };
    HRESULT ResolveTarget(Target* target) const;
    HRESULT EvaluateExists(Target* target, bool* result) const;
    bool Check64Bit() const noexcept { return m_check64Bit; }

private:
    bool m_check64Bit = false;
    _stringx m_keyPath;
    _stringx m_valueName;
};
