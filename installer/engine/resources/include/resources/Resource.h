#pragma once

// A file the engine needs at run time (the user-interface DLL, a DLL of
// suite objects or condition extensions, any other file): staged into the
// suite's staging folder and, when it is the UI resource or has a namespace,
// loaded into the launcher until the resource is destroyed.

#include <windows.h>

#include "kr/stringx.h"

class IStreamProgress;

// What a resource needs of the engine.
class IResourceHost {
public:
    virtual _stringx GetStagingFolder() = 0;
    // 1 when the payload entry was written to target.
    virtual int ExtractStreamFile(const _stringx& name, const _stringx& target, IStreamProgress* progress) = 0;

protected:
    ~IResourceHost() = default;
};

enum ResourceSourceType {
    rstSource = 0, // a path
    rstStream = 1, // an entry of the setup stream
    rstUrl = 2,    // a web address
};

class CResource {
public:
    CResource(IResourceHost& host, bool userInterface = false);
    virtual ~CResource();
    CResource(const CResource&) = delete;
    CResource& operator=(const CResource&) = delete;

    // Names match without regard to case; unknown names are ignored.
    void SetAttribute(const _stringx& name, const _stringx& value);

    // Fetches the file into the staging folder unless it is there already.
    HRESULT Stage(_stringx& staged, IStreamProgress* progress);
    // Stages and, for the UI resource or one with a namespace, loads it.
    HRESULT Initialize(IStreamProgress* progress);

    int SourceType() const noexcept { return m_sourceType; }
    const _stringx& Location() const noexcept { return m_location; }
    const _stringx& Namespace() const noexcept { return m_namespace; }
    bool IsUserInterface() const noexcept { return m_userInterface; }
    bool IsInitialized() const noexcept { return m_initialized; }
    HMODULE Module() const noexcept { return m_module; }

private:
    HRESULT StageFromStream(const _stringx& folder, _stringx& staged, IStreamProgress* progress);
    HRESULT StageFromLocation(const _stringx& folder, _stringx& staged);

    IResourceHost& m_host;
    int m_sourceType = rstSource;
    _stringx m_location;
    bool m_userInterface;
    _stringx m_namespace;
    bool m_initialized = false;
    HMODULE m_module = nullptr;
};

// The file part of a web address: the text after its last "/", without a
// query; empty when the address ends with "/".
_stringx UrlFileName(const _stringx& url);
