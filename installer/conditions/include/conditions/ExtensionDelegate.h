#pragma once

// Finds and calls the entry points of one extension condition: two exports of
// the DLL resource whose namespace is the element's, or two functions of the
// suite's compiled script run by the script engine of the "REViziz.dll"
// resource.

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "automation/Interfaces.h"
#include "conditions/NimbrelExtension.h"
#include "kr/stringx.h"

class CResource;

// What a look-up found: a DLL function, or a script function of the script
// instance by name; both none after a failed look-up.
struct ExtensionEntryPoint {
    FARPROC function = nullptr;
    CNimbrelExtension* script = nullptr; // the delegate's, not owned
    _wstringx name;
};

class ExtensionDelegate {
public:
    // Loads the namespace's resource when needed; for a script extension
    // stages the script runtime and the compiled script and opens the script.
    ExtensionDelegate(const _stringx& extensionType, const _stringx& namespaceUri, const _wstringx& name);
    ExtensionDelegate(const ExtensionDelegate&) = delete;
    ExtensionDelegate& operator=(const ExtensionDelegate&) = delete;
    ~ExtensionDelegate();

    // The look-ups leave their outcome in the thread's last-error value (0 when found).
    ExtensionEntryPoint GetValidator();
    ExtensionEntryPoint GetEvaluator();

    HRESULT CallValidator(const ExtensionEntryPoint& entry, ISuiteExtension* handler);
    HRESULT CallEvaluator(const ExtensionEntryPoint& entry, ISuiteExtension* handler, VARIANT_BOOL* result);

    bool IsScript() const noexcept { return m_isScript; }

private:
    void OpenScript();
    ExtensionEntryPoint LookUp(bool evaluator);

    _stringx m_type;
    _wstringx m_name;
    CResource* m_resource = nullptr;
    std::unique_ptr<CNimbrelExtension> m_script;
    bool m_isScript = false;
};
