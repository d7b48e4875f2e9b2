#pragma once

// The automation collections of parcels and features: items in insertion
// order, found by 1-based position or by name without regard to case, and
// enumerated through IEnumVARIANT. The collection holds a reference on each
// item, and an enumerator holds one on its collection, so neither can hand
// out an object that is gone.

#include "automation/TypeLibrary.h"

#include "kr/stringx.h"
#include "kr/vector_map_i.h"

#include <com/CollectionKey.h>
#include <com/ComPtr.h>
#include <com/Object.h>

#include <span>

namespace kr {

// Cursor over the entries of one collection, which it keeps alive. Reads the
// collection as it is at each call, so entries removed meanwhile are skipped.
template <class Collection>
class CCollectionEnum : public com::ObjectRoot, public IEnumVARIANT {
public:
    CCollectionEnum(com::ComPtr<IUnknown> owner, const Collection& collection, size_t cursor) noexcept
        : owner_(std::move(owner)), collection_(collection), cursor_(cursor)
    {
    }

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<CCollectionEnum, IEnumVARIANT>(IID_IEnumVARIANT),
        };
        return table;
    }

    static HRESULT Create(com::ComPtr<IUnknown> owner, const Collection& collection, size_t cursor,
                          IEnumVARIANT** out) noexcept
    {
        return com::CreateInstance<CCollectionEnum>(nullptr, IID_IEnumVARIANT, reinterpret_cast<void**>(out),
                                                    std::move(owner), collection, cursor);
    }

    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override
    {
        if (!items || (count != 1 && !fetched))
            return E_POINTER;
        ULONG filled = 0;
        while (filled < count && cursor_ < collection_.Size()) {
            IDispatch* item = collection_.ItemAt(cursor_);
            if (!item)
                break;
            VariantInit(&items[filled]);
            items[filled].vt = VT_DISPATCH;
            items[filled].pdispVal = item;
            item->AddRef();
            ++filled;
            ++cursor_;
        }
        if (fetched)
            *fetched = filled;
        return filled == count ? S_OK : S_FALSE;
    }

    STDMETHODIMP Skip(ULONG count) override
    {
        const size_t size = collection_.Size();
        const size_t left = cursor_ < size ? size - cursor_ : 0;
        if (count > left) {
            cursor_ = size;
            return S_FALSE;
        }
        cursor_ += count;
        return S_OK;
    }

    STDMETHODIMP Reset() override
    {
        cursor_ = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(IEnumVARIANT** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return Create(owner_, collection_, cursor_, out);
    }

private:
    com::ComPtr<IUnknown> owner_;
    const Collection& collection_;
    size_t cursor_;
};

// One collection interface (IParcels, IFeatures) over items of ItemInterface.
// Its IDispatch reads the library with identifier Libid and version
// Major.Minor: the program's own resource, or the registered library.
template <class ItemInterface, class CollectionInterface, const GUID* Libid, const IID* CollectionIid,
          WORD Major = 1, WORD Minor = 0>
class CRefCollectionImpl : public com::ObjectRoot, public com::DispatchImpl<CollectionInterface> {
public:
    using Enumerator = CCollectionEnum<CRefCollectionImpl>;

    CRefCollectionImpl() : com::DispatchImpl<CollectionInterface>(TypeInfo()) {}

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept
    {
        static const com::InterfaceEntry table[] = {
            com::InterfaceOf<CRefCollectionImpl, CollectionInterface>(*CollectionIid),
            com::InterfaceOf<CRefCollectionImpl, IDispatch>(IID_IDispatch),
        };
        return table;
    }

    static com::TypeInfoSource& TypeInfo() noexcept
    {
        static com::TypeInfoSource source(&LoadCollectionLibrary, *CollectionIid);
        return source;
    }

    // Adds an item under a name; a name already present in any case keeps its
    // place and takes the new item.
    HRESULT Add(const _stringx& name, ItemInterface* item)
    {
        if (!item)
            return E_INVALIDARG;
        try {
            entries_.add(name, com::ComPtr<ItemInterface>()).second = com::ComPtr<ItemInterface>(item);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    // False when no entry has the name.
    bool Remove(const _stringx& name)
    {
        const size_t position = entries_.find(name);
        if (position == entries_.npos)
            return false;
        entries_.erase(position);
        return true;
    }

    void RemoveAll() noexcept { entries_.clear(); }

    size_t Size() const noexcept { return entries_.size(); }
    // The item at a 0-based position (no reference added), or null.
    ItemInterface* ItemAt(size_t position) const noexcept
    {
        return position < entries_.size() ? entries_.at(position).second.Get() : nullptr;
    }

    STDMETHODIMP get_Count(long* count) override
    {
        if (!count)
            return E_POINTER;
        *count = static_cast<long>(entries_.size());
        return S_OK;
    }

    STDMETHODIMP get_Item(VARIANT index, ItemInterface** item) override
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        com::CollectionKey key;
        try {
            if (FAILED(com::ResolveCollectionKey(index, key)))
                return E_INVALIDARG;
            size_t position = entries_.npos;
            if (key.byPosition) {
                if (key.position >= 1 && static_cast<size_t>(key.position) <= entries_.size())
                    position = static_cast<size_t>(key.position) - 1;
            } else {
                position = entries_.find(_stringx(key.name.c_str(), key.name.size()));
            }
            if (position == entries_.npos)
                return E_INVALIDARG;
            *item = entries_.at(position).second.CopyOut();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    STDMETHODIMP get__NewEnum(IUnknown** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        com::ComPtr<IUnknown> self;
        HRESULT hr = this->QueryInterface(IID_IUnknown, self.PutVoid());
        if (FAILED(hr))
            return hr;
        com::ComPtr<IEnumVARIANT> enumerator;
        hr = Enumerator::Create(std::move(self), *this, 0, enumerator.Put());
        if (FAILED(hr))
            return hr;
        *out = enumerator.Detach();
        return S_OK;
    }

private:
    static HRESULT LoadCollectionLibrary(ITypeLib** out) { return LoadTypeLibByIdentity(*Libid, Major, Minor, out); }

    vector_map_i<com::ComPtr<ItemInterface>> entries_;
};

} // namespace kr

using CParcelCollection = kr::CRefCollectionImpl<IParcel, IParcels, &LIBID_TessarelLib, &IID_IParcels>;
using CFeatureCollection = kr::CRefCollectionImpl<IFeature, IFeatures, &LIBID_TessarelLib, &IID_IFeatures>;
