#include "ServerSupport.h"

#include <com/Bstr.h>

#include <shellapi.h>

#include <algorithm>
#include <cstring>

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    static LONG serial = 0;
    path_ = std::wstring(base) + L"dravio_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(InterlockedIncrement(&serial));
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    // Double-zero-terminated for the shell.
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

bool TempFolder::CopyIn(const wchar_t *fromProgramFolder, const wchar_t *as) const
{
    std::wstring source = ProgramFolder() + L"\\" + fromProgramFolder;
    std::wstring target = path_ + L"\\" + as;
    return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

ServerModule::ServerModule(const std::wstring &path) : module_(LoadLibraryW(path.c_str())) {}

ServerModule::~ServerModule()
{
    if (module_) {
        FreeLibrary(module_);
    }
}

FARPROC ServerModule::Export(const char *name) const
{
    return module_ ? GetProcAddress(module_, name) : nullptr;
}

HRESULT ServerModule::GetClassObject(REFCLSID clsid, REFIID iid, void **out) const
{
    auto get = reinterpret_cast<HRESULT(WINAPI *)(REFCLSID, REFIID, void **)>(
        reinterpret_cast<void *>(Export("DllGetClassObject")));
    return get ? get(clsid, iid, out) : E_FAIL;
}

HRESULT ServerModule::CanUnloadNow() const
{
    auto call = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(Export("DllCanUnloadNow")));
    return call ? call() : E_FAIL;
}

HRESULT ServerModule::Register() const
{
    auto call = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(Export("DllRegisterServer")));
    return call ? call() : E_FAIL;
}

HRESULT ServerModule::Unregister() const
{
    auto call = reinterpret_cast<HRESULT(WINAPI *)()>(reinterpret_cast<void *>(Export("DllUnregisterServer")));
    return call ? call() : E_FAIL;
}

com::ComPtr<IDravioInterface> ServerModule::Create(REFCLSID clsid) const
{
    com::ComPtr<IClassFactory> factory;
    com::ComPtr<IDravioInterface> object;
    if (SUCCEEDED(GetClassObject(clsid, IID_IClassFactory, factory.PutVoid()))) {
        factory->CreateInstance(nullptr, IID_IDravioInterface, object.PutVoid());
    }
    return object;
}

Automation::Automation(IUnknown *object)
{
    if (object) {
        object->QueryInterface(IID_IDispatch, dispatch_.PutVoid());
    }
}

HRESULT Automation::Call(const wchar_t *name, std::initializer_list<VARIANT> arguments, VARIANT *result)
{
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        return hr;
    }
    std::vector<VARIANTARG> reversed(arguments.begin(), arguments.end());
    std::reverse(reversed.begin(), reversed.end());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, &exception,
                           &argumentError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

LONG Automation::CallForLong(const wchar_t *name, std::initializer_list<VARIANT> arguments)
{
    com::Variant result;
    HRESULT hr = Call(name, arguments, result.Put());
    EXPECT_EQ(hr, S_OK) << "calling " << testing::PrintToString(std::wstring(name));
    EXPECT_EQ(result.Type(), VT_I4);
    return result.Type() == VT_I4 ? result.Get().lVal : 0x7FFFFFFF;
}

std::wstring Automation::CallForText(const wchar_t *name, std::initializer_list<VARIANT> arguments)
{
    com::Variant result;
    EXPECT_EQ(Call(name, arguments, result.Put()), S_OK);
    if (result.Type() != VT_BSTR) {
        return L"<not a text>";
    }
    return std::wstring(result.Get().bstrVal, SysStringLen(result.Get().bstrVal));
}

VARIANT Long(LONG value)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT LongRef(LONG *cell)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = cell;
    return v;
}

VARIANT ByteRef(BYTE *cell)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI1 | VT_BYREF;
    v.pbVal = cell;
    return v;
}

VARIANT Text(BSTR text)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text;
    return v;
}

VARIANT ArrayRef(SAFEARRAY **array, VARTYPE elements)
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_BYREF | elements;
    v.pparray = array;
    return v;
}

com::SafeArray ByteArray(ULONG count)
{
    return com::SafeArray::CreateVector(VT_UI1, count);
}

com::SafeArray LongArray(ULONG count)
{
    return com::SafeArray::CreateVector(VT_I4, count);
}

std::vector<BYTE> ArrayBytes(SAFEARRAY *array, size_t count)
{
    com::SafeArrayAccess<BYTE> data(array);
    if (FAILED(data.Status())) {
        return {};
    }
    return std::vector<BYTE>(data.Data(), data.Data() + count);
}
