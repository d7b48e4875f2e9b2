#pragma once

// The suite's update entries: read from an update description, the first one
// that is newer than this suite and not the one it was started from chosen,
// and started on request. The attributes of the description's root element
// are the handler's own bag.

#include <windows.h>

#include <memory>
#include <vector>

#include "properties/Properties.h"
#include "update/UpdateEntity.h"
#include "update/UpdateHost.h"
#include "update/UpdateParser.h"

class CUpdateHandler : public CProperties {
public:
    explicit CUpdateHandler(IUpdateHost& host) : m_host(host) {}

    // The address this launcher was started from by an earlier suite ("updated_from:").
    void SetLaunchedFrom(const _stringx& address) { m_launchedFrom = address; }
    const _stringx& LaunchedFrom() const noexcept { return m_launchedFrom; }

    // Reads the description at path and chooses an entry: S_OK when the
    // entries were examined, S_FALSE when no choice could be made.
    HRESULT SelectUpdate(const _stringx& path, bool& available);
    // Starts the chosen entry; S_FALSE when none is chosen.
    HRESULT InstallUpdate();

    // Each description read appends its entries here.
    CUpdateEntity& AddEntity();
    const std::vector<std::unique_ptr<CUpdateEntity>>& Entities() const noexcept { return m_entities; }
    const CUpdateEntity* Selected() const noexcept { return m_selected; }

private:
    IUpdateHost& m_host;
    CUpdateParser m_parser;
    _stringx m_launchedFrom;
    std::vector<std::unique_ptr<CUpdateEntity>> m_entities;
    const CUpdateEntity* m_selected = nullptr;
};
