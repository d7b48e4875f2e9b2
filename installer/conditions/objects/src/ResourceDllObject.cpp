#include "ResourceDllObject.h"

#include <com/Bstr.h>
#include <com/ComPtr.h>

#include "kr/file_system.h"
#include "kr/trace_log.h"
#include "parcels/WindowsFeatureSuiteExtension.h"

#define OBJECT_TRACE(...) TraceFormat({L"SuiteObject", __LINE__}, __VA_ARGS__)

namespace {

// The export's contract: object name, a reserved null, the extension, the object out.
using GetSuiteObjectFunction = HRESULT(__stdcall*)(BSTR objectName, IUnknown* reserved, ISuiteExtension2* extension,
                                                   IDispatch** object);

HRESULT LastErrorResult()
{
    return HRESULT_FROM_WIN32(GetLastError());
}

} // namespace

HRESULT CreateResourceDllObject(const _stringx& reference, const _stringx& stagingFolder, IDispatch** object,
                                HMODULE* module)
{
    const size_t colon = reference.find(L':');
    const _stringx dllPart = colon == _stringx::npos ? _stringx() : reference.substr(0, colon);
    const _stringx objectPart = colon == _stringx::npos ? reference : reference.substr(colon + 1);
    if (dllPart.empty() || objectPart.empty()) {
        OBJECT_TRACE(L"Invalid resource name or object name in SON extension object reference: Dll '%s', Object '%s'",
                     dllPart.c_str(), objectPart.c_str());
        return E_NOINTERFACE;
    }

    const _stringx fileName = dllPart + L".dll";
    const _stringx path = stagingFolder.path_combine(fileName);
    if (!kr::path_test(path, kr::path_accept_file)) {
        OBJECT_TRACE(L"Unknown resource DLL in SON extension object reference: %s", fileName.c_str());
        return E_NOINTERFACE;
    }

    *module = LoadLibraryW(path.c_str());
    if (!*module) {
        const HRESULT hr = LastErrorResult();
        OBJECT_TRACE(L"Failed to load resource DLL in SON extension object (%s), error: %08x", reference.c_str(), hr);
        return hr;
    }
    const auto factory = reinterpret_cast<GetSuiteObjectFunction>(
        reinterpret_cast<void*>(GetProcAddress(*module, "GetSuiteObject")));
    if (!factory) {
        const HRESULT hr = LastErrorResult();
        OBJECT_TRACE(L"Resource DLL '%s' does not provide a suite object factor, error %08x", fileName.c_str(), hr);
        return hr;
    }

    // The DLL is never called without an extension to call back through.
    com::ComPtr<com::Object<CWindowsFeatureSuiteExtension>> extension;
    HRESULT hr = CWindowsFeatureSuiteExtension::CreateInstance(extension);
    if (FAILED(hr)) {
        OBJECT_TRACE(L"SuiteObject: failed to create suite extension, status 0x%08x", hr);
        return hr;
    }
    com::Bstr name(std::wstring_view(objectPart.c_str(), objectPart.length()));
    if (name.IsNull())
        return E_OUTOFMEMORY;
    hr = factory(name.Get(), nullptr, extension.Get(), object);
    if (FAILED(hr))
        OBJECT_TRACE(L"Resource DLL GetSuiteObject (obj '%s') returned error %08x", objectPart.c_str(), hr);
    return hr;
}
