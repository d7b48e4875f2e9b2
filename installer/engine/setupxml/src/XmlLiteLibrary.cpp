#include "setupxml/XmlLiteLibrary.h"

namespace {

using CreateXmlReaderFunction = HRESULT(WINAPI*)(REFIID riid, void** object, IMalloc* malloc);

// Loaded once and kept for the life of the process, like a linked DLL.
HMODULE SystemXmlLite()
{
    static const HMODULE module = LoadLibraryExW(L"xmllite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module;
}

} // namespace

HRESULT CreateSystemXmlReader(IXmlReader** reader)
{
    if (!reader)
        return E_POINTER;
    *reader = nullptr;
    const HMODULE module = SystemXmlLite();
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    const auto create =
        reinterpret_cast<CreateXmlReaderFunction>(reinterpret_cast<void*>(GetProcAddress(module, "CreateXmlReader")));
    if (!create)
        return HRESULT_FROM_WIN32(GetLastError());
    return create(__uuidof(IXmlReader), reinterpret_cast<void**>(reader), nullptr);
}
