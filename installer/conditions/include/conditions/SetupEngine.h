#pragma once

// What conditions, formatted strings and property setters reach of the one
// engine of the process. The engine registers itself when it is constructed
// and stays registered for the rest of the process.

#include <windows.h>
#include <oaidl.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class IProxyConnection;

class ISetupEngine {
public:
    // Expands the references of a formatted string against the property store.
    virtual _stringx FormatString(const _stringx& text) = 0;
    // Sets a property; a locked one changes only when overwriteLocked is true.
    virtual void SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked) = 0;
    // Creates the scripting object an object expression names. On success
    // *object holds a reference and *module is the DLL that supplied the object
    // (null for the launcher's own objects), which the caller frees after the
    // object is released.
    virtual HRESULT CreateSuiteObject(const _stringx& name, IDispatch** object, HMODULE* module) = 0;

    // What the suite-state conditions read of the model.
    // A property's current value; empty when it is not set.
    virtual _stringx GetEngineProperty(const _stringx& name) = 0;
    // The feature or parcel of that name or id, owned by the engine; null when absent.
    virtual IFeature* FindFeature(const _stringx& name) = 0;
    virtual IParcel2* FindParcel(const _stringx& id) = 0;
    // The Parcels collection of the automation face, with a reference.
    virtual HRESULT STDMETHODCALLTYPE get_Parcels(IParcels** parcels) = 0;

    // Platform conditions: the Windows version, read once by the engine and
    // shared, so every test of the version sees the same answer.
    virtual const OSVERSIONINFOEXW& OsVersionInfo() = 0;
    // Installed-product conditions: the app-package helper process, started on
    // first need; none with the thread's last error set when it cannot be had
    // (ERROR_NOT_SUPPORTED before Windows 8).
    virtual IProxyConnection* GetAppxHelperProxyHandler() = 0;

protected:
    ~ISetupEngine() = default;
};

// The process-wide engine pointer; null until an engine registers.
ISetupEngine* SetupEngine() noexcept;
void SetSetupEngine(ISetupEngine* engine) noexcept;
