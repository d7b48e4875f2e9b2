#pragma once

// One connection to the suite's script engine (REViziz.dll): opens the
// compiled script, hands the script the launcher's extension object through
// the runtime's fixed functions, calls further script functions by name and
// ends the connection. Used by one thread, the one that made it.

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>

#include <com/ComPtr.h>

#include "kr/stringx.h"

// The engine object as the launcher reaches it: IUnknown, then the engine's
// own slots. Its IDispatch (through QueryInterface) reaches the script's functions.
struct IScriptEngineObject : public IUnknown {
    // Slot 3: opens the compiled script at path.
    virtual HRESULT STDMETHODCALLTYPE OpenScript(const wchar_t* path) = 0;
    // Slot 4: not used by the launcher.
    virtual HRESULT STDMETHODCALLTYPE Slot4Unused() = 0;
    // Slot 5: starts debugging; its result is not used.
    virtual HRESULT STDMETHODCALLTYPE StartDebugging(const wchar_t* debugText, IUnknown* context) = 0;
};

// The engine DLL's "GetScriptEngine" export.
using GetScriptEngineEntry = HRESULT(STDMETHODCALLTYPE*)(IScriptEngineObject** engine, IUnknown** context);

class CNimbrelExtension {
public:
    static constexpr size_t kMaxArguments = 5;

    // The engine module must stay loaded while the connection lives. A
    // failed start is only logged; every call then gives E_POINTER.
    CNimbrelExtension(HMODULE engineModule, const _stringx& scriptPath, const _stringx& initText, bool debug,
                      const _stringx& debugText);
    CNimbrelExtension(const CNimbrelExtension&) = delete;
    CNimbrelExtension& operator=(const CNimbrelExtension&) = delete;
    // Uninitialises the script runtime when Initialize had succeeded.
    virtual ~CNimbrelExtension();

    // The runtime's own set-up, then SetSuiteExtension; initialised only when both succeed.
    HRESULT Initialize(IDispatch* extension);
    HRESULT SetSuiteExtension(IDispatch* extension);
    HRESULT RevokeSuiteExtension();

    // Calls a script function with up to five arguments in script order; an
    // empty argument before the last non-empty one is passed as empty.
    HRESULT ScriptInvoke(const _stringx& function, VARIANT* result, std::initializer_list<VARIANT> arguments = {});
    // Whether the script has that function: S_OK, or the look-up's failure (not logged).
    HRESULT FindFunction(const _stringx& function) const;

    bool IsInitialized() const noexcept { return m_initialized; }
    bool HasEngine() const noexcept { return static_cast<bool>(m_engine); }

private:
    HRESULT LookUp(const _stringx& function, com::ComPtr<IDispatch>& script, DISPID& id) const;

    com::ComPtr<IScriptEngineObject> m_engine;
    com::ComPtr<IUnknown> m_context;
    bool m_initialized = false;
    _stringx m_initText;
};
