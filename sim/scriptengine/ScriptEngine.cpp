// The engine object "GetScriptEngine" hands out: slot 3 opens a script (a
// JScript text standing for the compiled script), slot 5 records that
// debugging was asked for, and its IDispatch is the opened script's.

#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "ScriptHost.h"
#include "StandInRecords.h"

namespace {

// Reads a UTF-8 file; false when it cannot be read.
bool ReadText(const wchar_t* path, std::wstring& text)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const int count = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    text.assign(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), count);
    return true;
}

// Reference counting without a virtual destructor, so that the derived
// object's own virtual functions follow IUnknown's three in its table.
template <class T>
class RefCounted : public IUnknown {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = InterlockedDecrement(&m_refs);
        if (left == 0)
            delete static_cast<T*>(this);
        return static_cast<ULONG>(left);
    }

protected:
    ~RefCounted() = default;

private:
    LONG m_refs = 1;
};

// The context object: the script runtime's, opaque to the launcher.
class Context final : public RefCounted<Context> {
public:
    ~Context() { Record(L"context released"); }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
};

class Engine final : public RefCounted<Engine> {
public:
    ~Engine() { Record(L"engine released"); }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(iid, IID_IDispatch))
            return m_script ? m_script->Dispatch(reinterpret_cast<IDispatch**>(out)) : E_NOINTERFACE;
        return E_NOINTERFACE;
    }

    // Slot 3.
    virtual HRESULT STDMETHODCALLTYPE OpenScript(const wchar_t* path)
    {
        Record(L"OpenScript " + std::wstring(path ? path : L""));
        std::wstring text;
        if (!path || !ReadText(path, text))
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        auto script = std::make_unique<ScriptHost>();
        const HRESULT hr = script->Load(text);
        if (FAILED(hr))
            return hr;
        m_script = std::move(script);
        return S_OK;
    }
    // Slot 4.
    virtual HRESULT STDMETHODCALLTYPE Reserved() { return E_NOTIMPL; }
    // Slot 5.
    virtual HRESULT STDMETHODCALLTYPE StartDebugging(const wchar_t* text, IUnknown* context)
    {
        Record(L"StartDebugging " + std::wstring(text ? text : L"") + (context ? L" with context" : L""));
        return S_OK;
    }

private:
    std::unique_ptr<ScriptHost> m_script;
};

} // namespace

extern "C" HRESULT __stdcall GetScriptEngine(IUnknown** engine, IUnknown** context)
{
    if (!engine || !context)
        return E_POINTER;
    Record(L"GetScriptEngine");
    *engine = new Engine;
    *context = new Context;
    return S_OK;
}
