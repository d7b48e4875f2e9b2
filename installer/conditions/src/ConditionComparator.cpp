#include "conditions/ConditionComparator.h"

#include "kr/com_exception.h"
#include "kr/safe_array.h"

namespace {

constexpr const wchar_t* kOperators[ccoNotSet] = {
    L"LessThan",  L"LessEqual", L"GreaterThan",   L"GreaterEqual", L"Equal",       L"HasFlags", L"Contains",
    L"AnyContains", L"StartsWith", L"EndsWith", L"AnyStartsWith", L"AnyEndsWith", L"NotEqual",
};

template <class N>
bool CompareNumbers(int op, N actual, N expected) noexcept
{
    switch (op) {
    case ccoLessThan:
        return actual < expected;
    case ccoLessEqual:
        return actual <= expected;
    case ccoGreaterThan:
        return actual > expected;
    case ccoGreaterEqual:
        return actual >= expected;
    case ccoEqual:
        return actual == expected;
    case ccoHasFlags:
    case ccoContains:
    case ccoAnyContains:
        return (actual & expected) != 0;
    case ccoNotEqual:
        return actual != expected;
    default:
        return false;
    }
}

bool CompareTexts(int op, const _stringx& actual, const _stringx& expected) noexcept
{
    switch (op) {
    case ccoLessThan:
        return actual.compare(expected) < 0;
    case ccoLessEqual:
        return actual.compare(expected) <= 0;
    case ccoGreaterThan:
        return actual.compare(expected) > 0;
    case ccoGreaterEqual:
        return actual.compare(expected) >= 0;
    case ccoEqual:
        return actual == expected;
    case ccoNotEqual:
        return !(actual == expected);
    case ccoHasFlags:
    case ccoContains:
    case ccoAnyContains:
        return actual.find(expected) != _stringx::npos;
    case ccoStartsWith:
    case ccoAnyStartsWith:
        return actual.find(expected) == 0;
    case ccoEndsWith:
    case ccoAnyEndsWith: {
        const size_t last = actual.rfind(expected);
        return last != _stringx::npos && last + expected.length() == actual.length();
    }
    default:
        return false;
    }
}

_stringx TextOf(BSTR value)
{
    return value ? _stringx(value, SysStringLen(value)) : _stringx();
}

// Only one-dimensional arrays of BSTR are text lists.
void AttachList(kr::safe_array& list, SAFEARRAY* array)
{
    VARTYPE elementType = VT_EMPTY;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetVartype(array, &elementType)) ||
        elementType != VT_BSTR)
        throw kr::safe_array_exception(E_INVALIDARG);
    list.attach(array);
}

_stringx FirstText(const kr::safe_array& list)
{
    const LONG first = list.lower_bound();
    if (first > list.upper_bound())
        return _stringx();
    return TextOf(list[first].value());
}

bool CompareLists(int op, const kr::safe_array& actual, const kr::safe_array& expected)
{
    if (op != ccoAnyContains && op != ccoAnyStartsWith && op != ccoAnyEndsWith)
        return CompareTexts(op, FirstText(actual), FirstText(expected));

    const LONG expectedFirst = expected.lower_bound();
    const LONG expectedLast = expected.upper_bound();
    for (LONG i = actual.lower_bound(), last = actual.upper_bound(); i <= last; ++i) {
        const _stringx actualText = TextOf(actual[i].value());
        for (LONG j = expectedFirst; j <= expectedLast; ++j) {
            if (CompareTexts(op, actualText, TextOf(expected[j].value())))
                return true;
        }
    }
    return false;
}

} // namespace

CConditionComparator::~CConditionComparator() = default;

HRESULT CConditionComparator::Parse()
{
    const _stringx text = GetAttribute(L"Compare");
    if (text.empty())
        return E_INVALIDARG;
    for (int op = 0; op < ccoNotSet; ++op) {
        if (text == kOperators[op]) {
            m_operator = op;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

HRESULT CConditionComparator::Compare(const VARIANT& actual, const VARIANT& expected, bool* result) const
{
    if (!result)
        return E_POINTER;
    *result = false;
    if (m_operator < 0 || m_operator >= ccoNotSet || V_VT(&actual) != V_VT(&expected))
        return E_INVALIDARG;

    switch (V_VT(&actual)) {
    case VT_I4:
        *result = CompareNumbers<LONG>(m_operator, V_I4(&actual), V_I4(&expected));
        return S_OK;
    case VT_UI4:
        *result = CompareNumbers<ULONG>(m_operator, V_UI4(&actual), V_UI4(&expected));
        return S_OK;
    case VT_I8:
        *result = CompareNumbers<LONGLONG>(m_operator, V_I8(&actual), V_I8(&expected));
        return S_OK;
    case VT_UI8:
        *result = CompareNumbers<ULONGLONG>(m_operator, V_UI8(&actual), V_UI8(&expected));
        return S_OK;
    case VT_BSTR:
        *result = CompareTexts(m_operator, TextOf(V_BSTR(&actual)), TextOf(V_BSTR(&expected)));
        return S_OK;
    case VT_ARRAY | VT_BSTR: {
        kr::safe_array actualList;
        kr::safe_array expectedList;
        AttachList(actualList, V_ARRAY(&actual));
        AttachList(expectedList, V_ARRAY(&expected));
        try {
            *result = CompareLists(m_operator, actualList, expectedList);
        } catch (HRESULT hr) {
            return hr;
        }
        return S_OK;
    }
    default:
        return E_INVALIDARG;
    }
}
