#include "PlatformObject.h"

#include "ObjectText.h"
#include "automation/TypeLibrary.h"
#include "conditions/EngineOsVersion.h"
#include "conditions/PlatformArchitecture.h"

CPlatformObject::CPlatformObject() : com::DispatchImpl<IPlatformObject>(TessarelTypeInfo<&IID_IPlatformObject>())
{
}

std::span<const com::InterfaceEntry> CPlatformObject::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CPlatformObject, IPlatformObject>(IID_IPlatformObject),
        com::InterfaceOf<CPlatformObject, IPlatformObject>(IID_IDispatch),
    };
    return table;
}

STDMETHODIMP CPlatformObject::get_Value(BSTR* value)
{
    return get_FullVersion(value);
}

STDMETHODIMP CPlatformObject::get_MajorVersion(BSTR* value)
{
    return NumberOut(static_cast<int>(EngineOsVersionInfo().dwMajorVersion), value);
}

STDMETHODIMP CPlatformObject::get_MinorVersion(BSTR* value)
{
    return NumberOut(static_cast<int>(EngineOsVersionInfo().dwMinorVersion), value);
}

STDMETHODIMP CPlatformObject::get_ServicePackVersion(BSTR* value)
{
    return NumberOut(EngineOsVersionInfo().wServicePackMajor, value);
}

STDMETHODIMP CPlatformObject::get_FullVersion(BSTR* value)
{
    return NumberOut(static_cast<int>(EngineOsVersionNumber()), value);
}

STDMETHODIMP CPlatformObject::get_CSDVersion(BSTR* value)
{
    return TextOut(EngineOsVersionInfo().szCSDVersion, value);
}

STDMETHODIMP CPlatformObject::get_BuildNumber(BSTR* value)
{
    return NumberOut(static_cast<int>(EngineOsVersionInfo().dwBuildNumber), value);
}

STDMETHODIMP CPlatformObject::get_ProductType(BSTR* value)
{
    return NumberOut(EngineOsVersionInfo().wProductType, value);
}

STDMETHODIMP CPlatformObject::get_Architecture(BSTR* value)
{
    return TextOut(PlatformArchitectureName(NativePlatformArchitecture()), value);
}
