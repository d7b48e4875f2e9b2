// Registry scripts: a small text format that describes keys under root keys
// and is run forwards to register and backwards to unregister.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove %CLSID% = s 'My Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Free'
//               }
//           }
//       }
//   }
//
// Roots: HKCR, HKCU, HKLM, HKU (or their full names). A key may be NoRemove
// (kept when unregistering) or ForceRemove (replaced whole when registering,
// removed whole when unregistering); other keys are removed when nothing else
// is left below them. Texts are quoted with ' (doubled inside). %NAME% is
// replaced before the script is read, with quotes in the value doubled; %%
// is a single %.
#pragma once

#include <windows.h>

#include <span>
#include <string_view>

namespace com {

struct RegistryReplacement {
    std::wstring_view name;
    std::wstring_view value;
};

// Failures: HRESULT_FROM_WIN32(ERROR_INVALID_DATA) for a malformed script,
// HRESULT_FROM_WIN32(ERROR_ENVVAR_NOT_FOUND) for an unknown %NAME%, or the
// first failing registry call as HRESULT_FROM_WIN32.
HRESULT RunRegistryScript(std::wstring_view script, std::span<const RegistryReplacement> replacements,
                          bool registering);

// Runs the script held as resource (type "REGISTRY") of a module; adds the
// replacement MODULE, the module's path.
HRESULT RunRegistryScriptResource(HMODULE module, UINT id, std::span<const RegistryReplacement> replacements,
                                  bool registering);

} // namespace com
