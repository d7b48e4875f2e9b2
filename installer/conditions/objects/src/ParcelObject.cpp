#include "ParcelObject.h"

#include "ModelText.h"
#include "ObjectText.h"
#include "automation/TypeLibrary.h"
#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"

#define OBJECT_TRACE(...) TraceFormat({L"SuiteObject", __LINE__}, __VA_ARGS__)

CParcelObject::CParcelObject() : com::DispatchImpl<IParcelObject>(TessarelTypeInfo<&IID_IParcelObject>())
{
}

std::span<const com::InterfaceEntry> CParcelObject::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CParcelObject, IParcelObject>(IID_IParcelObject),
        com::InterfaceOf<CParcelObject, IParcelObject>(IID_IDispatch),
    };
    return table;
}

template <class Value>
HRESULT CParcelObject::ValueMember(HRESULT (STDMETHODCALLTYPE IParcel::*getter)(Value*), BSTR* out)
{
    if (!out)
        return E_INVALIDARG;
    if (!m_parcel)
        return CO_E_OBJNOTCONNECTED;
    return ValueOut(m_parcel.Get(), getter, out);
}

STDMETHODIMP CParcelObject::get_Name(BSTR* name)
{
    if (!name)
        return E_POINTER;
    if (!m_parcel)
        return CO_E_OBJNOTCONNECTED;
    return ResolvedTextOut(m_parcel.Get(), &IParcel::get_Name, name);
}

STDMETHODIMP CParcelObject::get_Description(BSTR* description)
{
    if (!description)
        return E_POINTER;
    if (!m_parcel)
        return CO_E_OBJNOTCONNECTED;
    return ResolvedTextOut(m_parcel.Get(), &IParcel::get_Description, description);
}

STDMETHODIMP CParcelObject::get_Eligible(BSTR* eligible)
{
    return ValueMember(&IParcel::get_Eligible, eligible);
}

STDMETHODIMP CParcelObject::get_ActionState(BSTR* state)
{
    return ValueMember(&IParcel::get_ActionState, state);
}

STDMETHODIMP CParcelObject::get_DetectedState(BSTR* state)
{
    return ValueMember(&IParcel::get_DetectedState, state);
}

STDMETHODIMP CParcelObject::get_ExitCode(BSTR* exitCode)
{
    return ValueMember(&IParcel::get_ExitCode, exitCode);
}

STDMETHODIMP CParcelObject::get_Type(BSTR* type)
{
    return ValueMember(&IParcel::get_Type, type);
}

STDMETHODIMP CParcelObject::Ctor(BSTR parcelId)
{
    const _stringx id = TextIn(parcelId);
    ISetupEngine* engine = SetupEngine();
    IParcel* parcel = engine ? engine->FindParcel(id) : nullptr;
    if (!parcel) {
        OBJECT_TRACE(L"ParcelObject: unknown parcel: %s", id.c_str());
        return E_INVALIDARG;
    }
    if (m_parcel.Get() != parcel)
        m_parcel = com::ComPtr<IParcel>(parcel);
    return S_OK;
}
