#pragma once

// What extension conditions reach of the one engine of the process: its
// resources, its staging folder, its script-debug settings and its automation
// object. The engine registers itself while it lives.

#include "automation/Interfaces.h"
#include "kr/stringx.h"

class CResource;

class IExtensionHost {
public:
    // The engine's resources, owned by it; null when none matches (any case).
    virtual CResource* FindResourceByNamespace(const _stringx& name) = 0;
    virtual CResource* FindResourceByName(const _stringx& name) = 0;
    virtual _stringx GetStagingFolder() = 0;
    // The script-debug switch of the command line and its symbol path.
    virtual bool IsScriptDebugging() = 0;
    virtual _stringx GetSymbolPath() = 0;
    // The engine's automation object, without a reference.
    virtual IBootstrap* Bootstrap() = 0;

protected:
    ~IExtensionHost() = default;
};

// The registered host; null while no engine lives.
IExtensionHost* ExtensionHost() noexcept;
void SetExtensionHost(IExtensionHost* host) noexcept;
