#include "conditions/MsiQueries.h"

#include <vector>

namespace {

constexpr DWORD kFirstBuffer = 260;

const MsiFunctions* g_replacement = nullptr;

using InfoQuery = UINT(WINAPI*)(LPCWSTR, LPCWSTR, LPWSTR, DWORD*);

UINT QueryInfo(InfoQuery query, const _stringx& code, const wchar_t* property, _stringx& value)
{
    value.clear();
    if (!query)
        return ERROR_PROC_NOT_FOUND;
    std::vector<wchar_t> buffer(kFirstBuffer, L'\0');
    DWORD size = kFirstBuffer;
    UINT status = query(code.c_str(), property, buffer.data(), &size);
    if (status == ERROR_MORE_DATA) {
        buffer.assign(size + 1, L'\0');
        size += 1;
        status = query(code.c_str(), property, buffer.data(), &size);
    }
    if (status == ERROR_SUCCESS) {
        buffer.back() = L'\0';
        value = _stringx(buffer.data());
    }
    return status;
}

} // namespace

const MsiFunctions& ConditionMsiFunctions()
{
    return g_replacement ? *g_replacement : SystemMsiFunctions();
}

const MsiFunctions* SetConditionMsiFunctions(const MsiFunctions* functions)
{
    const MsiFunctions* previous = g_replacement;
    g_replacement = functions;
    return previous;
}

UINT QueryProductInfo(const _stringx& product, const wchar_t* property, _stringx& value)
{
    return QueryInfo(ConditionMsiFunctions().GetProductInfoW, product, property, value);
}

UINT QueryPatchInfo(const _stringx& patch, const wchar_t* property, _stringx& value)
{
    return QueryInfo(ConditionMsiFunctions().GetPatchInfoW, patch, property, value);
}

UINT EnumRelatedProduct(const _stringx& upgradeCode, DWORD index, _stringx& product)
{
    product.clear();
    const auto enumerate = ConditionMsiFunctions().EnumRelatedProductsW;
    if (!enumerate)
        return ERROR_PROC_NOT_FOUND;
    // The call writes at most a braced GUID and its terminator.
    wchar_t buffer[kFirstBuffer] = {};
    const UINT status = enumerate(upgradeCode.c_str(), 0, index, buffer);
    if (status == ERROR_SUCCESS) {
        buffer[kFirstBuffer - 1] = L'\0';
        product = _stringx(buffer);
    }
    return status;
}
