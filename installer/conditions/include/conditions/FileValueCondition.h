#pragma once

// "FileValue": a file's content, version or last-write time, converted to the
// "Convert" type, compared with "CompareTo", for the first candidate of the
// file search that satisfies it.

#include "conditions/ConditionComparator.h"
#include "conditions/ConditionValueTypeConverter.h"
#include "conditions/FileExistsCondition.h"

class CFileValueCondition : public CFileExistsCondition,
                            public CConditionValueTypeConverter,
                            public CConditionComparator {
public:
    _stringx GetConvertValue() const override { return ReadAttribute(L"Convert"); }
    _stringx GetCompareToValue() const override { return ReadAttribute(L"CompareTo"); }
    HRESULT Validate() override;
    // Never fails: a failure is logged and answers false.
    bool CheckFile(const _stringx& path) override;

    _stringx GetAttribute(const _stringx& name) const override { return ReadAttribute(name); }
    DWORD GetAllowedTypes() const override;

private:
    HRESULT ReadActual(const _stringx& path, VARIANT* out) const;

    _stringx m_compareTo;
};
