#include "conditions/SuiteObjectInstance.h"

#include "conditions/SetupEngine.h"

namespace {

// BSTR arguments in the reverse order IDispatch::Invoke expects, freed at the end.
class ArgumentArray {
public:
    explicit ArgumentArray(const std::vector<_stringx>& texts) : m_values(texts.size())
    {
        for (VARIANT& value : m_values)
            VariantInit(&value);
        for (size_t i = 0; i < texts.size(); ++i) {
            const _stringx& text = texts[i];
            VARIANT& value = m_values[texts.size() - 1 - i];
            V_BSTR(&value) = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
            if (!V_BSTR(&value)) {
                m_complete = false;
                continue;
            }
            V_VT(&value) = VT_BSTR;
        }
    }
    ~ArgumentArray()
    {
        for (VARIANT& value : m_values)
            VariantClear(&value);
    }
    ArgumentArray(const ArgumentArray&) = delete;
    ArgumentArray& operator=(const ArgumentArray&) = delete;

    bool Complete() const noexcept { return m_complete; }
    VARIANT* Data() noexcept { return m_values.empty() ? nullptr : m_values.data(); }
    UINT Count() const noexcept { return static_cast<UINT>(m_values.size()); }

private:
    std::vector<VARIANT> m_values;
    bool m_complete = true;
};

} // namespace

HRESULT SuiteObjectInstance::Create(const _stringx& name)
{
    Release();
    ISetupEngine* engine = SetupEngine();
    if (!engine)
        return E_UNEXPECTED;
    HMODULE module = nullptr;
    const HRESULT hr = engine->CreateSuiteObject(name, m_object.Put(), &module);
    // A module loaded before a later step failed is still ours to free.
    m_module.reset(module);
    if (FAILED(hr))
        m_object.Reset();
    return hr;
}

HRESULT SuiteObjectInstance::GetMemberId(const _stringx& name, DISPID* id) const
{
    if (!m_object)
        return E_NOINTERFACE;
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name.c_str())};
    return m_object->GetIDsOfNames(IID_NULL, names, 1, 0, id);
}

HRESULT SuiteObjectInstance::Invoke(DISPID id, const std::vector<_stringx>& arguments, VARIANT* result) const
{
    if (!m_object)
        return E_NOINTERFACE;
    ArgumentArray values(arguments);
    if (!values.Complete())
        return E_OUTOFMEMORY;
    DISPPARAMS parameters = {values.Data(), nullptr, values.Count(), 0};
    EXCEPINFO exception = {};
    UINT badArgument = 0;
    const HRESULT hr = m_object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &parameters,
                                        result, &exception, &badArgument);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

void SuiteObjectInstance::Release() noexcept
{
    m_object.Reset();
    m_module.reset();
}
