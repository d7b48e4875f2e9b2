#pragma once

// "FileExists": a file or folder named by "Path", looked for in the folders
// of "SearchPath" when it has some, else where Path says.

#include "conditions/Condition.h"

class CFileExistsCondition : public CCondition {
public:
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;
    // Whether a candidate that exists satisfies the condition.
    virtual bool CheckFile(const _stringx& path);

protected:
    bool Check64Bit() const noexcept { return m_check64Bit; }

private:
    _stringx m_path;
    _stringx m_searchPath;
    bool m_check64Bit = false;
};
