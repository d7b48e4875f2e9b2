// Request 14 in the proxy: one script function of the suite's compiled script,
// run through a connection to the script engine with the engine's extension
// object; a fault inside the script engine ends the call with its code.

#include "parcels/MachineWorkers.h"

#include <com/ComPtr.h>
#include <com/Variant.h>

#include "automation/Interfaces.h"
#include "conditions/NimbrelExtension.h"
#include "parcels/SehException.h"

namespace {

// Writes a line to the engine's log through the extension object.
void LogThrough(IDispatch* extension, const _stringx& line)
{
    com::ComPtr<ISuiteExtension> suite;
    if (!extension ||
        FAILED(extension->QueryInterface(IID_ISuiteExtension, reinterpret_cast<void**>(suite.Put()))) || !suite)
        return;
    BSTR text = SysAllocStringLen(line.c_str(), static_cast<UINT>(line.size()));
    if (text) {
        suite->LogInfo(text);
        SysFreeString(text);
    }
}

void LogException(IDispatch* extension, DWORD code, const void* address)
{
    _stringx line;
    line.format(L"Exception caught while running script action, exception code 0x%08x at 0x%08x", code,
                static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(address)));
    LogThrough(extension, line);
    HMODULE module = nullptr;
    if (!address ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module))
        return;
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    line.format(L"Exception address 0x%08x in module %s (base 0x%08x)",
                static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(address)), path,
                static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(module)));
    LogThrough(extension, line);
}

} // namespace

HRESULT CMachineWorkers::RunQuillex(CProxyHandler&, HMODULE engine, const _stringx& folder,
                                    const QuillexCallData& call, IDispatch* extension)
{
    const bool debug = call.debug == 1;
    CNimbrelExtension script(engine, folder.path_combine(L"setup.qlx"), folder, debug,
                             debug ? call.debug_text : _stringx());
    const HRESULT initialized = script.Initialize(extension);
    if (FAILED(initialized))
        return initialized;

    const com::Variant argument = com::Variant::Dispatch(extension);
    com::Variant result;
    HRESULT invoked = S_OK;
    try {
        CSehException::RunTranslated([&] {
            invoked = script.ScriptInvoke(call.function, result.Put(), {argument.Get()});
            return 0;
        });
    } catch (const CSehException& fault) {
        LogException(extension, fault.Code(), fault.Address());
        return static_cast<HRESULT>(fault.Code());
    }
    script.RevokeSuiteExtension();
    if (FAILED(invoked))
        return invoked;
    return result.Type() == VT_I4 ? static_cast<HRESULT>(result.Get().lVal) : S_OK;
}
