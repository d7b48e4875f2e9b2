// Enumerators (IEnumVARIANT and its kin) over a shared, immutable list of
// items. Clones share the list and start from the cursor of their original.
#pragma once

#include <com/Lock.h>
#include <com/Object.h>
#include <com/Variant.h>

#include <memory>
#include <vector>

namespace com {

// Traits name the enumerator interface, the item type handed out, the type
// kept in the list, and how one is copied out.
template <class Traits>
class Enumerator : public ObjectRoot, public Traits::Interface {
public:
    using Item = typename Traits::Item;
    using Stored = typename Traits::Stored;
    using List = std::shared_ptr<const std::vector<Stored>>;

    Enumerator(List items, size_t cursor) noexcept : items_(std::move(items)), cursor_(cursor) {}

    static std::span<const InterfaceEntry> InterfaceTable() noexcept
    {
        static const InterfaceEntry table[] = {
            InterfaceOf<Enumerator, typename Traits::Interface>(Traits::Iid()),
        };
        return table;
    }

    // A new enumerator over items, cursor at the first.
    static HRESULT Create(List items, typename Traits::Interface **out) noexcept
    {
        return CreateAt(std::move(items), 0, out);
    }

    STDMETHODIMP Next(ULONG count, Item *items, ULONG *fetched) override
    {
        if (!items || (count != 1 && !fetched)) {
            return E_POINTER;
        }
        ULONG filled = 0;
        {
            ScopedCursor cursor(*this);
            while (filled < count && cursor.position < items_->size()) {
                if (FAILED(Traits::Copy(&items[filled], (*items_)[cursor.position]))) {
                    break;
                }
                ++filled;
                ++cursor.position;
            }
        }
        if (fetched) {
            *fetched = filled;
        }
        return filled == count ? S_OK : S_FALSE;
    }

    STDMETHODIMP Skip(ULONG count) override
    {
        ScopedCursor cursor(*this);
        size_t left = items_->size() - cursor.position;
        if (count > left) {
            cursor.position = items_->size();
            return S_FALSE;
        }
        cursor.position += count;
        return S_OK;
    }

    STDMETHODIMP Reset() override
    {
        ScopedCursor cursor(*this);
        cursor.position = 0;
        return S_OK;
    }

    STDMETHODIMP Clone(typename Traits::Interface **out) override
    {
        if (!out) {
            return E_POINTER;
        }
        size_t position;
        {
            ScopedCursor cursor(*this);
            position = cursor.position;
        }
        return CreateAt(items_, position, out);
    }

private:
    // The cursor under the enumerator's lock (an enumerator may be shared by threads).
    struct ScopedCursor {
        explicit ScopedCursor(Enumerator &e) noexcept : lock(e.lock_), position(e.cursor_), owner(e) {}
        ~ScopedCursor() { owner.cursor_ = position; }
        ScopedLock lock;
        size_t position;
        Enumerator &owner;
    };

    static HRESULT CreateAt(List items, size_t cursor, typename Traits::Interface **out) noexcept
    {
        if (!out) {
            return E_POINTER;
        }
        *out = nullptr;
        if (!items) {
            return E_POINTER;
        }
        return CreateInstance<Enumerator>(nullptr, Traits::Iid(), reinterpret_cast<void **>(out), std::move(items),
                                          cursor);
    }

    List items_;
    CriticalSection lock_;
    size_t cursor_;
};

struct VariantEnumTraits {
    using Interface = IEnumVARIANT;
    using Item = VARIANT;
    using Stored = Variant;
    static const IID &Iid() noexcept { return IID_IEnumVARIANT; }
    static HRESULT Copy(VARIANT *out, const Variant &item) noexcept
    {
        VariantInit(out);
        return VariantCopy(out, const_cast<VARIANT *>(&item.Get()));
    }
};

using VariantEnumerator = Enumerator<VariantEnumTraits>;

} // namespace com
