#pragma once

// The attribute bag: named texts, each with a locked flag. Element classes of
// setup.xml derive from it, and the engine's property store is one.

#include <map>

#include "kr/stringx.h"

// The value of one entry.
struct CProperty {
    _stringx text;
    bool locked = false;
};

// Where a bag's entries are saved: the sections of the suite's state file.
class IPropertyStateWriter {
public:
    // Section "Properties".
    virtual void SaveProperty(const _stringx& name, const _stringx& value) = 0;
    // Section "Parcel_" followed by the parcel id.
    virtual void SaveParcelValue(const _stringx& parcelId, const _stringx& name, const _stringx& value) = 0;

protected:
    ~IPropertyStateWriter() = default;
};

class CProperties {
public:
    CProperties() = default;
    CProperties(const CProperties&) = delete;
    CProperties& operator=(const CProperties&) = delete;
    virtual ~CProperties();

    // A locked entry keeps its text unless the overwrite-locked mode is on.
    virtual void SetAttribute(const _stringx& name, const _stringx& value);
    // The entry's text; the empty text when there is no entry of exactly that name.
    virtual _stringx GetAttribute(const _stringx& name) const;

    _stringx GetText() const;
    // Sets through the derived class's SetAttribute, then locks what reached the bag.
    void SetAttributeLocked(const _stringx& name, const _stringx& value);
    void LockAttribute(const _stringx& name);

    // For classes whose attribute names match without regard to case: the entry
    // of exactly that name, else the first entry in map order that matches.
    _stringx GetAttributeNoCase(const _stringx& name) const;

    // While set, SetAttribute replaces locked texts too.
    bool OverwriteLocked() const noexcept { return m_overwriteLocked; }
    void SetOverwriteLocked(bool overwrite) noexcept { m_overwriteLocked = overwrite; }

    void SaveToState(IPropertyStateWriter& state) const;
    void SaveToParcelState(IPropertyStateWriter& state, const _stringx& parcelId) const;

private:
    // Names compare as UTF-16 code units; a prefix sorts before the longer name.
    struct ExactOrder {
        bool operator()(const _wstringx& a, const _wstringx& b) const noexcept { return a.compare(b) < 0; }
    };

    std::map<_wstringx, CProperty, ExactOrder> m_entries;
    bool m_overwriteLocked = false;
};
