#pragma once

// Pairs of (key, item) kept in insertion order, found through an ordered index
// whose keys compare without regard to case. Keys are unique in any case: adding
// a key that is there already keeps the existing pair.

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "kr/stringx.h"

namespace kr {

using map_i = std::map<_stringx, uint32_t, less_nocase>;

template <class Item>
class vector_map_i {
public:
    using value_type = std::pair<_stringx, Item>;
    static constexpr size_t npos = static_cast<size_t>(-1);

    size_t size() const noexcept { return pairs_.size(); }
    bool empty() const noexcept { return pairs_.empty(); }
    value_type& at(size_t position) { return pairs_[position]; }
    const value_type& at(size_t position) const { return pairs_[position]; }
    typename std::vector<value_type>::const_iterator begin() const noexcept { return pairs_.begin(); }
    typename std::vector<value_type>::const_iterator end() const noexcept { return pairs_.end(); }

    size_t find(const _stringx& key) const
    {
        const auto found = index_.find(key);
        return found == index_.end() ? npos : found->second;
    }

    Item& find_or_add(const _stringx& key) { return add(key, Item()).second; }

    value_type& add(const _stringx& key, Item item)
    {
        const auto found = index_.find(key);
        if (found != index_.end())
            return pairs_[found->second];
        pairs_.emplace_back(key, std::move(item));
        index_.emplace(key, static_cast<uint32_t>(pairs_.size() - 1));
        return pairs_.back();
    }

    void erase(size_t position)
    {
        index_.erase(pairs_[position].first);
        pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(position));
        for (auto& entry : index_) {
            if (entry.second > position)
                --entry.second;
        }
    }

    // The caller makes sure no other pair has the new key.
    void rename(size_t position, const _stringx& new_key)
    {
        index_.erase(pairs_[position].first);
        pairs_[position].first = new_key;
        index_[new_key] = static_cast<uint32_t>(position);
    }

    // Takes the pair at position out and puts it directly behind the pair at after.
    void move_after(size_t position, size_t after)
    {
        if (position == after)
            return;
        value_type moved = std::move(pairs_[position]);
        pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(position));
        if (after > position)
            --after;
        pairs_.insert(pairs_.begin() + static_cast<std::ptrdiff_t>(after + 1), std::move(moved));
        reindex();
    }

    void sort()
    {
        std::sort(pairs_.begin(), pairs_.end(),
                  [](const value_type& a, const value_type& b) { return a.first.compare(b.first) < 0; });
        reindex();
    }

    void clear() noexcept
    {
        pairs_.clear();
        index_.clear();
    }

private:
    void reindex()
    {
        for (size_t position = 0; position < pairs_.size(); ++position)
            index_[pairs_[position].first] = static_cast<uint32_t>(position);
    }

    std::vector<value_type> pairs_;
    map_i index_;
};

} // namespace kr
