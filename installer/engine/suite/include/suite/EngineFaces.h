#pragma once

// What the engine asks of parts that are built elsewhere or not yet: reading
// setup.xml into the model and the suite's self-update. Each has a default
// here; tests put stand-ins in their place.

#include <windows.h>

#include <functional>
#include "kr/stringx.h"
#include "properties/Properties.h"

class CSetupEngine;

// Reads the setup.xml file at path into the engine's model: S_OK, or the
// failure to open or parse it; throws what the reader throws.
using SetupXmlLoader = std::function<HRESULT(CSetupEngine& engine, const _stringx& path)>;

// The suite's self-update.
class IUpdateHandler {
public:
    virtual ~IUpdateHandler() = default;

    virtual void SetUpdatedFrom(const _stringx& address) = 0;
    // Reads the update description; found tells whether an update entry was chosen.
    virtual HRESULT DownloadUpdateDescription(bool& found) = 0;
    // The address of the chosen entry; empty when none.
    virtual _stringx ChosenAddress() = 0;
    // Starts the updated suite with the remaining command line; launched tells
    // whether it was started, and the result is its exit code or the failure.
    virtual HRESULT DownloadAndLaunchUpdate(const _stringx& address, const _stringx& commandLine,
                                            bool& launched) = 0;
    // Starts the chosen update on the user interface's request; S_FALSE when none was chosen.
    virtual HRESULT InstallUpdate() { return S_FALSE; }
};

// No update description is ever found.
class CNoUpdateHandler : public IUpdateHandler {
public:
    void SetUpdatedFrom(const _stringx&) override {}
    HRESULT DownloadUpdateDescription(bool& found) override
    {
        found = false;
        return S_FALSE;
    }
    _stringx ChosenAddress() override { return _stringx(); }
    HRESULT DownloadAndLaunchUpdate(const _stringx&, const _stringx&, bool& launched) override
    {
        launched = false;
        return S_FALSE;
    }
};
