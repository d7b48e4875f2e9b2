#pragma once

// What parcels and their handlers reach of the one engine of the process,
// beside the formatted strings of ISetupEngine: the run's mode and flags, the
// engine's events and answer cell, suite actions, the shared-parcel client
// lists, the state file and the elevated proxy. The engine registers itself
// when it is constructed; parcels live only while it is registered.

#include <windows.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"
#include "properties/Properties.h"

class CProxyExeCallbackWrapper;

class IEngineServices {
public:
    virtual EnumInstallMode GetInstallMode() = 0;
    virtual bool IsSilent() = 0;
    virtual bool IsElevated() = 0;
    // The run resumes after a reboot.
    virtual bool IsAfterReboot() = 0;
    virtual _stringx GetSuiteId() = 0;
    // A property of the engine's store; empty when absent.
    virtual _stringx GetProperty(const _stringx& name) = 0;
    // The names listed by KRHiddenProperties.
    virtual kr::stringx_vector GetHiddenPropertyNames() = 0;
    // Empty when per-parcel logging is off.
    virtual _stringx GetParcelLogFolder() = 0;

    // The engine's shared answer cell of refusable events; VARIANT_TRUE after a cancel.
    virtual VARIANT_BOOL* CancelCell() = 0;
    // Firings of _IBootstrapEvents; each returns the last sink's result.
    virtual HRESULT Fire_OnInstallingParcel(IParcel* parcel, VARIANT_BOOL* cancel) = 0;
    virtual HRESULT Fire_OnQueryReboot(IParcel* parcel, VARIANT_BOOL* rebootNow) = 0;
    virtual HRESULT Fire_OnQueryParcelNotDetected(IParcel* parcel, VARIANT_BOOL* abort) = 0;
    virtual HRESULT Fire_OnPromptForSourceMedia(IParcel* parcel, BSTR sourceFile, VARIANT_BOOL* cancel,
                                                BSTR* mediaPath) = 0;
    virtual HRESULT Fire_OnActionEventInfo(BSTR message, int current, int maximum, EnumProgressFlags flags,
                                           VARIANT_BOOL* cancel) = 0;

    // The engine keeps the last answer to a reboot question.
    virtual void SetLastRebootAnswer(bool rebootNow) = 0;
    // Reboot at the end of the suite instead of now.
    virtual void RequestDelayedReboot() = 0;
    // The text of a string id in the selected language; the id itself when it has none.
    virtual _stringx ResolveStringId(const _stringx& id) = 0;
    virtual HRESULT RunAction(const _stringx& actionId, IParcel2* parcel) = 0;
    // A parcel whose install would upgrade an installed product, for the user to confirm.
    virtual void AddUpgradingParcel(IParcel* parcel) = 0;

    // Shared-parcel clients: the stored list (pruned), its write through the
    // elevated proxy, and this suite's id added to or removed from a list in memory.
    virtual void GetParcelClients(const _stringx& parcelId, kr::stringx_vector& clients) = 0;
    virtual HRESULT WriteParcelClients(const _stringx& parcelId, const kr::stringx_vector& clients) = 0;
    // True when the id was there already.
    virtual bool AddSuiteToClients(kr::stringx_vector& clients) = 0;
    // True when the id was not there.
    virtual bool RemoveSuiteFromClients(kr::stringx_vector& clients) = 0;

    // The suite's state file.
    virtual IPropertyStateWriter& StateWriter() = 0;
    // "Action", "Detect" and "Complete" of the section "Parcel_" + id.
    virtual void SaveParcelState(const _stringx& parcelId, int action, int detected, bool complete) = 0;

    // Starts a program in the elevated proxy and serves its call-backs while it
    // runs; the program's exit code, or the failure of the launch.
    virtual LONG LaunchElevatedExe(const _stringx& program, const _stringx& arguments, const _stringx& verb,
                                   int show, bool wait, CProxyExeCallbackWrapper& callbacks) = 0;

protected:
    ~IEngineServices() = default;
};

// The process-wide engine services; null until an engine registers.
IEngineServices* EngineServices() noexcept;
void SetEngineServices(IEngineServices* services) noexcept;
