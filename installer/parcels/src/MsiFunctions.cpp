#include "parcels/MsiFunctions.h"

#include "kr/folders.h"
#include "kr/win32_exception.h"

namespace {

template <class Function>
void Resolve(HMODULE module, WORD ordinal, Function& function)
{
    function = reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal)))));
}

MsiFunctions LoadSystemMsi()
{
    MsiFunctions functions;
    _stringx path;
    try {
        path = kr::get_system_folder(kr::system_folder_system) + L"msi.dll";
    } catch (const kr::win32_exception&) {
        return functions;
    }
    // Kept loaded for the life of the process, like an import.
    const HMODULE msi = LoadLibraryW(path.c_str());
    if (!msi)
        return functions;
    Resolve(msi, 70, functions.GetProductInfoW);
    Resolve(msi, 179, functions.GetPatchInfoW);
    Resolve(msi, 205, functions.EnumRelatedProductsW);
    Resolve(msi, 195, functions.GetFileVersionW);
    Resolve(msi, 285, functions.BeginTransactionW);
    Resolve(msi, 286, functions.EndTransaction);
    Resolve(msi, 287, functions.JoinTransaction);
    Resolve(msi, 141, functions.SetInternalUI);
    Resolve(msi, 169, functions.EnableLogW);
    Resolve(msi, 88, functions.InstallProductW);
    Resolve(msi, 190, functions.ConfigureProductExW);
    Resolve(msi, 175, functions.ApplyPatchW);
    Resolve(msi, 118, functions.RecordGetStringW);
    Resolve(msi, 125, functions.RecordSetStringW);
    Resolve(msi, 171, functions.FormatRecordW);
    Resolve(msi, 111, functions.QueryFeatureStateW);
    // Exported by name only from msi.dll 4.5 on.
    functions.SetExternalUIRecord = reinterpret_cast<decltype(functions.SetExternalUIRecord)>(
        reinterpret_cast<void*>(GetProcAddress(msi, "MsiSetExternalUIRecord")));
    return functions;
}

} // namespace

const MsiFunctions& SystemMsiFunctions()
{
    static const MsiFunctions functions = LoadSystemMsi();
    return functions;
}
