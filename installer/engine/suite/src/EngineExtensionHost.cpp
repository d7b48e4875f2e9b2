// What extension conditions reach of the engine: its resources, staging
// folder, script-debug settings and automation object.

#include "suite/SetupEngine.h"

CSetupEngine::ExtensionHostFace::ExtensionHostFace(CSetupEngine& engine) : m_engine(engine)
{
    SetExtensionHost(this);
}

CSetupEngine::ExtensionHostFace::~ExtensionHostFace()
{
    if (ExtensionHost() == this)
        SetExtensionHost(nullptr);
}

CResource* CSetupEngine::ExtensionHostFace::FindResourceByNamespace(const _stringx& name)
{
    return m_engine.FindResourceByNamespace(name);
}

CResource* CSetupEngine::ExtensionHostFace::FindResourceByName(const _stringx& name)
{
    return m_engine.FindResourceByName(name);
}

_stringx CSetupEngine::ExtensionHostFace::GetStagingFolder()
{
    return m_engine.GetStagingFolder();
}

bool CSetupEngine::ExtensionHostFace::IsScriptDebugging()
{
    return m_engine.IsScriptDebugging();
}

_stringx CSetupEngine::ExtensionHostFace::GetSymbolPath()
{
    return m_engine.GetSymbolPath();
}

IBootstrap* CSetupEngine::ExtensionHostFace::Bootstrap()
{
    return static_cast<IBootstrap2*>(&m_engine);
}
