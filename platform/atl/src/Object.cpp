#include <com/Object.h>

namespace com {

HRESULT QueryInterfaceTable(void *object, std::span<const InterfaceEntry> table, REFIID iid, void **out) noexcept
{
    if (!out) {
        return E_POINTER;
    }
    *out = nullptr;
    if (table.empty()) {
        return E_NOINTERFACE;
    }
    if (IsEqualIID(iid, IID_IUnknown)) {
        auto *identity = static_cast<IUnknown *>(table.front().cast(object));
        identity->AddRef();
        *out = identity;
        return S_OK;
    }
    for (const InterfaceEntry &entry : table) {
        if (!entry.iid || !IsEqualIID(*entry.iid, iid)) {
            continue;
        }
        if (entry.query) {
            return entry.query(object, iid, out);
        }
        auto *found = static_cast<IUnknown *>(entry.cast(object));
        found->AddRef();
        *out = found;
        return S_OK;
    }
    return E_NOINTERFACE;
}

} // namespace com
