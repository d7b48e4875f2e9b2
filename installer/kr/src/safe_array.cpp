#include "kr/safe_array.h"

#include "kr/com_exception.h"

namespace kr {

namespace {

void check(HRESULT hr)
{
    if (FAILED(hr))
        throw hr;
}

// An exact copy of a BSTR, shared by the copies of an accessor.
std::shared_ptr<OLECHAR> share_copy(BSTR value)
{
    if (!value)
        return std::shared_ptr<OLECHAR>(nullptr, SysFreeString);
    BSTR copy = SysAllocStringByteLen(reinterpret_cast<const char*>(value), SysStringByteLen(value));
    if (!copy)
        throw safe_array_exception(E_OUTOFMEMORY);
    return std::shared_ptr<OLECHAR>(copy, SysFreeString);
}

} // namespace

safe_array::element::element(SAFEARRAY* array, LONG index, BSTR value)
    : value_(share_copy(value)), array_(array), index_(index)
{
}

safe_array::element& safe_array::element::operator=(const _stringx& value)
{
    _stringx text(value);
    check(SafeArrayPutElement(array_, &index_, *text.c_bstr()));
    return *this;
}

safe_array::~safe_array()
{
    if (array_ && owned_)
        SafeArrayDestroy(array_);
}

void safe_array::create(ULONG count)
{
    SAFEARRAYBOUND bound = {count, 1};
    SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
    if (!array)
        throw safe_array_exception(E_OUTOFMEMORY);
    try {
        destroy();
    } catch (...) {
        SafeArrayDestroy(array);
        throw;
    }
    array_ = array;
    owned_ = true;
}

void safe_array::attach(SAFEARRAY* array)
{
    if (array == array_)
        return;
    if (!array || SafeArrayGetDim(array) != 1)
        throw safe_array_exception(E_INVALIDARG);
    destroy();
    array_ = array;
    owned_ = false;
}

void safe_array::destroy()
{
    if (array_ && owned_)
        check(SafeArrayDestroy(array_));
    array_ = nullptr;
}

SAFEARRAY* safe_array::detach() noexcept
{
    SAFEARRAY* array = array_;
    array_ = nullptr;
    return array;
}

LONG safe_array::lower_bound() const
{
    if (!array_)
        return 0;
    LONG bound = 0;
    check(SafeArrayGetLBound(array_, 1, &bound));
    return bound;
}

LONG safe_array::upper_bound() const
{
    if (!array_)
        return -1;
    LONG bound = 0;
    check(SafeArrayGetUBound(array_, 1, &bound));
    return bound;
}

safe_array::element safe_array::operator[](LONG index) const
{
    BSTR value = nullptr;
    check(SafeArrayGetElement(array_, &index, &value));
    try {
        element result(array_, index, value);
        SysFreeString(value);
        return result;
    } catch (...) {
        SysFreeString(value);
        throw;
    }
}

} // namespace kr

