#include "setup_engine.h"

namespace {

CSetupEngine* g_engine = nullptr;

} // namespace

CSetupEngine* SetupEngine()
{
    return g_engine;
}

CSetupEngine::CSetupEngine()
{
    g_engine = this;
}

CSetupEngine::~CSetupEngine()
{
    g_engine = nullptr;
}

STDMETHODIMP CSetupEngine::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CSetupEngine::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) CSetupEngine::Release()
{
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT CSetupEngine::Initialize(BSTR, bool* exit_now)
{
    if (exit_now)
        *exit_now = false;
    return E_NOTIMPL;
}

HRESULT CSetupEngine::DetermineFeatureStates()
{
    return E_NOTIMPL;
}
