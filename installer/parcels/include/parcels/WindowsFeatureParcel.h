#pragma once

// Turns on one parcel's resolved list of Windows optional features before the
// suite's transactions run: before Windows 6.2 through the system's package
// manager in the elevated proxy, from 6.2 on through the features DLL of the
// payload, called in the elevated proxy with an extension through which it
// reads the list.

#include <windows.h>

#include <functional>

#include <com/ComPtr.h>

#include "automation/Interfaces.h"
#include "kr/stringx.h"
#include "parcels/ProxyExeCallbackWrapper.h"
#include "parcels/RebootHandler.h"

class CWindowsFeatureParcel : public CRebootHandler, public CProxyExeCallbackWrapper {
public:
    // Makes the extension the features DLL reads the list from (name
    // "KRWindowsFeatureList"), with one reference for the caller.
    using ExtensionMaker = std::function<HRESULT(const _stringx& featureList, com::ComPtr<ISuiteExtension>& made)>;
    // The suite's own extension object, holding the list.
    static HRESULT MakeSuiteExtension(const _stringx& featureList, com::ComPtr<ISuiteExtension>& made);

    explicit CWindowsFeatureParcel(ExtensionMaker makeExtension = &MakeSuiteExtension)
        : m_makeExtension(std::move(makeExtension))
    {}

    void GetRebootCodes(std::vector<DWORD>& codes) override;
    LONG OnCallback(CProxyApi*, std::span<const BYTE>) override { return -1; }
    LONG OnQueryValue(CProxyApi*) override { return -1; }
    LONG OnProcessFinished(CProxyApi*) override { return -1; }

    void SetFeatureList(const _stringx& features) { m_features = features; }
    const _stringx& FeatureList() const noexcept { return m_features; }

    // rebootRequired is written unless the user cancels at the start.
    HRESULT Install(bool& rebootRequired);
    HRESULT InstallWithPackageManager();
    HRESULT CallDismApi();
    HRESULT ExtractFeatureDll(_stringx& path);

private:
    _stringx m_features;
    ExtensionMaker m_makeExtension;
};
