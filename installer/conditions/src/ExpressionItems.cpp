#include "conditions/ExpressionItems.h"

#include "conditions/SuiteObjectInstance.h"
#include "kr/holders.h"
#include "kr/trace_log.h"
#include "properties/Properties.h"

namespace {

#define EXPRESSION_SOURCE TraceSource{L"FormattedString", __LINE__}

_stringx EnvironmentValue(const _stringx& name)
{
    _stringx value;
    DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    // The variable may grow between the two calls; ask again until it fits.
    while (size != 0) {
        kr::heap_buffer<wchar_t> buffer(size);
        const DWORD written = GetEnvironmentVariableW(name.c_str(), buffer.get(), size);
        if (written < size) {
            value.assign(buffer.get(), written);
            break;
        }
        size = written;
    }
    return value;
}

// The texts of argument items, in order; their results are not consulted.
std::vector<_stringx> EvaluateArguments(const ExpressionItems& arguments, const CProperties* context)
{
    std::vector<_stringx> texts;
    texts.reserve(arguments.size());
    for (const std::unique_ptr<CExpressionItem>& argument : arguments) {
        _stringx text;
        if (argument)
            argument->Evaluate(context, text);
        texts.push_back(text);
    }
    return texts;
}

} // namespace

CExpressionItem::CExpressionItem(std::unique_ptr<CExpressionItem> left, std::unique_ptr<CExpressionItem> right)
    : m_left(std::move(left)), m_right(std::move(right))
{
}

CExpressionItem::~CExpressionItem()
{
    std::vector<std::unique_ptr<CExpressionItem>> pending;
    if (m_left)
        pending.push_back(std::move(m_left));
    if (m_right)
        pending.push_back(std::move(m_right));
    while (!pending.empty()) {
        std::unique_ptr<CExpressionItem> item = std::move(pending.back());
        pending.pop_back();
        if (item->m_left)
            pending.push_back(std::move(item->m_left));
        if (item->m_right)
            pending.push_back(std::move(item->m_right));
    }
}

HRESULT CStringLiteralItem::Evaluate(const CProperties*, _stringx& value) const
{
    value = m_text;
    return S_OK;
}

HRESULT CConcatExpressionItem::Evaluate(const CProperties* context, _stringx& value) const
{
    value.clear();
    HRESULT result = S_OK;
    std::vector<const CExpressionItem*> pending{Right(), Left()};
    while (!pending.empty()) {
        const CExpressionItem* item = pending.back();
        pending.pop_back();
        if (!item) {
            result = S_OK;
            continue;
        }
        if (dynamic_cast<const CConcatExpressionItem*>(item)) {
            pending.push_back(item->Right());
            pending.push_back(item->Left());
            continue;
        }
        _stringx text;
        result = item->Evaluate(context, text);
        value += text;
    }
    return result;
}

CPropertyExpressionItem::CPropertyExpressionItem(std::unique_ptr<CExpressionItem> name, int kind,
                                                 const _stringx& literal, bool dropUnresolved)
    : CExpressionItem(std::move(name), nullptr), m_kind(kind), m_literal(literal), m_dropUnresolved(dropUnresolved)
{
}

HRESULT CPropertyExpressionItem::Evaluate(const CProperties* context, _stringx& value) const
{
    _stringx name;
    if (Left())
        Left()->Evaluate(context, name);

    switch (m_kind) {
    case prkProperty:
        value = context ? context->GetAttribute(name) : _stringx();
        if (value.empty() && !m_dropUnresolved)
            value = L"[" + name + L"]";
        break;
    case prkEnvironment:
        value = EnvironmentValue(name);
        break;
    case prkNul:
        value.assign(L"", 1);
        break;
    default:
        value = m_literal + name;
        break;
    }
    return S_OK;
}

CMethodExpressionItem::CMethodExpressionItem(const _stringx& name, ExpressionItems arguments)
    : m_name(name), m_arguments(std::move(arguments))
{
}

HRESULT CMethodExpressionItem::Evaluate(const CProperties*, _stringx& value) const
{
    value.clear();
    return E_FAIL;
}

HRESULT CMethodExpressionItem::CallMember(SuiteObjectInstance& object, const CProperties* context,
                                          _stringx& value) const
{
    value.clear();
    const std::vector<_stringx> arguments = EvaluateArguments(m_arguments, context);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = object.GetMemberId(m_name, &id);
    if (FAILED(hr))
        return hr;
    kr::variant_holder result;
    hr = object.Invoke(id, arguments, result.get());
    if (FAILED(hr))
        return hr;
    hr = VariantChangeType(result.get(), result.get(), 0, VT_BSTR);
    if (FAILED(hr))
        return hr;
    const BSTR text = V_BSTR(result.get());
    if (text)
        value.assign(text, SysStringLen(text));
    return S_OK;
}

CObjectExpressionItem::CObjectExpressionItem(const _stringx& name, ExpressionItems arguments,
                                             std::unique_ptr<CMethodExpressionItem> member)
    : CExpressionItem(nullptr, std::move(member)), m_name(name), m_arguments(std::move(arguments))
{
}

HRESULT CObjectExpressionItem::Evaluate(const CProperties* context, _stringx& value) const
{
    value.clear();
    SuiteObjectInstance object;
    HRESULT hr = object.Create(m_name);
    if (FAILED(hr)) {
        TraceFormat(EXPRESSION_SOURCE, L"SuiteObject: initialize object for '%s' failed with error %08x",
                    m_name.c_str(), hr);
        return hr;
    }

    const auto* member = static_cast<const CMethodExpressionItem*>(Right());
    if (!m_arguments.empty()) {
        const std::vector<_stringx> arguments = EvaluateArguments(m_arguments, context);
        const _stringx constructor = member ? L"Ctor" : L"Value";
        DISPID id = DISPID_UNKNOWN;
        hr = object.GetMemberId(constructor, &id);
        if (SUCCEEDED(hr)) {
            kr::variant_holder ignored;
            hr = object.Invoke(id, arguments, ignored.get());
        }
        if (FAILED(hr)) {
            TraceFormat(EXPRESSION_SOURCE, L"SuiteObject call ('%s') failed with error %08x", constructor.c_str(),
                        hr);
            return hr;
        }
    }

    // A failing member leaves the value empty without failing the expression.
    if (member)
        member->CallMember(object, context, value);
    return S_OK;
}
