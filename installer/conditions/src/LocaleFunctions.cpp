#include "conditions/LocaleFunctions.h"

namespace {

const LocaleFunctions* g_replacement = nullptr;

template <class Function>
Function Kernel32Function(const char* name)
{
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name))) : nullptr;
}

LocaleFunctions LookUpSystemFunctions()
{
    LocaleFunctions functions;
    functions.userDefaultLcid = GetUserDefaultLCID;
    functions.systemDefaultLcid = GetSystemDefaultLCID;
    functions.systemDefaultUiLanguage = GetSystemDefaultUILanguage;
    functions.ansiCodePage = GetACP;
    using NameFunction = int(WINAPI*)(LPWSTR, int);
    functions.userDefaultLocaleName = Kernel32Function<NameFunction>("GetUserDefaultLocaleName");
    functions.systemDefaultLocaleName = Kernel32Function<NameFunction>("GetSystemDefaultLocaleName");
    return functions;
}

} // namespace

const LocaleFunctions& SystemLocaleFunctions()
{
    static const LocaleFunctions functions = LookUpSystemFunctions();
    return functions;
}

const LocaleFunctions& CurrentLocaleFunctions()
{
    return g_replacement ? *g_replacement : SystemLocaleFunctions();
}

const LocaleFunctions* SetLocaleFunctions(const LocaleFunctions* functions)
{
    const LocaleFunctions* previous = g_replacement;
    g_replacement = functions;
    return previous;
}
