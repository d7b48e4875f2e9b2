#pragma once

// "CallExe": starts a program, through the shell or, for an Admin action of
// an engine that is not elevated, through the elevated proxy.

#include "actions/Action.h"
#include "parcels/ProxyExeCallbackWrapper.h"

class CActionCallExe : public CAction, public CProxyExeCallbackWrapper {
public:
    void InitDefaults() override;
    HRESULT Execute(CParcel* parcel) override;

    // The elevated program's call-backs are not handled.
    LONG OnCallback(CProxyApi* proxy, std::span<const BYTE> payload) override;
    LONG OnQueryValue(CProxyApi* proxy) override;
    LONG OnProcessFinished(CProxyApi* proxy) override;

    bool WaitsForExit() const noexcept { return m_wait; }
    int ShowCommand() const noexcept { return m_show; }
    const _stringx& Verb() const noexcept { return m_verb; }

private:
    LONG Launch(const _stringx& file, const _stringx& arguments);

    bool m_wait = false;
    _stringx m_verb;
    int m_show = SW_SHOW;
};
