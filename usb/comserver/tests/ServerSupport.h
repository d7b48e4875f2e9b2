// Helpers of the server's tests: apartments, the server DLL loaded by path,
// folders for copies of it, and late-bound calls through IDispatch.
#pragma once

#include <com/ComPtr.h>
#include <com/SafeArray.h>
#include <com/Variant.h>

#include "DravioCOM.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

class Apartment {
public:
    explicit Apartment(DWORD model = COINIT_MULTITHREADED) : hr_(CoInitializeEx(nullptr, model)) {}
    Apartment(const Apartment &) = delete;
    Apartment &operator=(const Apartment &) = delete;
    ~Apartment()
    {
        if (SUCCEEDED(hr_)) {
            CoUninitialize();
        }
    }

private:
    HRESULT hr_;
};

// The folder of the test program, where the build puts every DLL.
std::wstring ProgramFolder();

// A new empty folder under the temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    ~TempFolder();
    const std::wstring &Path() const { return path_; }
    // Copies a file of the program folder into this one, under a name of choice.
    bool CopyIn(const wchar_t *fromProgramFolder, const wchar_t *as) const;

private:
    std::wstring path_;
};

// A server DLL loaded by path and reached through its exports only.
class ServerModule {
public:
    explicit ServerModule(const std::wstring &path);
    ServerModule(const ServerModule &) = delete;
    ServerModule &operator=(const ServerModule &) = delete;
    ~ServerModule();

    bool Loaded() const { return module_ != nullptr; }
    HMODULE Handle() const { return module_; }
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void **out) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;
    // A new object of the class, through the class factory.
    com::ComPtr<IDravioInterface> Create(REFCLSID clsid = CLSID_DravioInterface) const;

private:
    FARPROC Export(const char *name) const;
    HMODULE module_;
};

// Late-bound calls: the arguments in declaration order, out arguments by reference.
class Automation {
public:
    explicit Automation(IUnknown *object);
    bool Valid() const { return static_cast<bool>(dispatch_); }

    HRESULT Call(const wchar_t *name, std::initializer_list<VARIANT> arguments, VARIANT *result = nullptr);
    // The method's return value (its final out argument) as a number.
    LONG CallForLong(const wchar_t *name, std::initializer_list<VARIANT> arguments);
    std::wstring CallForText(const wchar_t *name, std::initializer_list<VARIANT> arguments);

private:
    com::ComPtr<IDispatch> dispatch_;
};

VARIANT Long(LONG value);
VARIANT LongRef(LONG *cell);
VARIANT ByteRef(BYTE *cell);
VARIANT Text(BSTR text); // the caller owns the text
VARIANT ArrayRef(SAFEARRAY **array, VARTYPE elements);

// A one-dimensional array of bytes or 32-bit numbers, zero-filled.
com::SafeArray ByteArray(ULONG count);
com::SafeArray LongArray(ULONG count);
std::vector<BYTE> ArrayBytes(SAFEARRAY *array, size_t count);
