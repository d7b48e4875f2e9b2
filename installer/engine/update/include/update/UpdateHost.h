#pragma once

// What the update handler asks of the engine: the suite's id and properties,
// the silent mode, and the download and start of an update.

#include <windows.h>

#include "kr/stringx.h"

class IUpdateHost {
public:
    virtual _stringx GetSuiteId() = 0;
    virtual _stringx GetProperty(const _stringx& name) = 0;
    virtual bool IsSilent() = 0;
    // Downloads the launcher at address, checks it and starts it with the
    // command line; launched tells whether it ran, the result is its exit
    // code, the failure, or S_FALSE when the run should go on without it.
    virtual HRESULT LaunchUpdate(const _stringx& address, const _stringx& commandLine, bool& launched) = 0;

protected:
    ~IUpdateHost() = default;
};
