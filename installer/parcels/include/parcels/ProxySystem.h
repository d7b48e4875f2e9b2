#pragma once

// What the proxy's request handlers do to the machine: start programs, write
// the registry, load DLLs and call msi.dll. The server reaches them only
// through this class, so tests and the fuzz run can record them instead.

#include <windows.h>

#include "kr/stringx.h"
#include "parcels/MsiFunctions.h"
#include "parcels/PipeRecords.h"

class CProxySystem {
public:
    virtual ~CProxySystem() = default;

    // Starts the program through the shell with the verb "open", not waiting:
    // 0 and its process handle (owned by the caller, may be null), else the
    // launch's error.
    virtual DWORD StartProgram(const _stringx& program, const _stringx& arguments, const _stringx& folder,
                               HANDLE& process);
    // 0 and the exit code once the process has ended, else the wait's error.
    virtual DWORD WaitForProgram(HANDLE process, DWORD& exit_code);

    // Opens the key (creating it when allowed) and sets the value: a registry
    // error, 2 for a missing key that may not be created.
    virtual LONG SetRegistryValue(HKEY root, const _stringx& key, REGSAM access, bool create, const _stringx& name,
                                  DWORD type, PipeBytes data);
    // Deletes the key `leaf` under `parent` with all its subkeys.
    virtual LONG DeleteRegistryTree(HKEY root, const _stringx& parent, const _stringx& leaf, REGSAM access);

    // null with the thread's last error set when the DLL does not load.
    virtual HMODULE LoadModule(const _stringx& path);
    virtual FARPROC FindEntry(HMODULE module, const char* name);
    virtual void ReleaseModule(HMODULE module);

    virtual const MsiFunctions& Msi();
};
