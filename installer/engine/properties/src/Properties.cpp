#include "properties/Properties.h"

CProperties::~CProperties() = default;

void CProperties::SetAttribute(const _stringx& name, const _stringx& value)
{
    const _wstringx key(name);
    auto entry = m_entries.find(key);
    if (entry == m_entries.end()) {
        m_entries.emplace(key, CProperty{value, false});
        return;
    }
    // A refused set is silent: the caller cannot tell it from a successful one.
    if (!entry->second.locked || m_overwriteLocked)
        entry->second.text = value;
}

_stringx CProperties::GetAttribute(const _stringx& name) const
{
    const auto entry = m_entries.find(_wstringx(name));
    return entry == m_entries.end() ? _stringx() : entry->second.text;
}

_stringx CProperties::GetText() const
{
    return GetAttribute(L"Text");
}

void CProperties::SetAttributeLocked(const _stringx& name, const _stringx& value)
{
    SetAttribute(name, value);
    LockAttribute(name);
}

void CProperties::LockAttribute(const _stringx& name)
{
    const auto entry = m_entries.find(_wstringx(name));
    if (entry != m_entries.end())
        entry->second.locked = true;
}

_stringx CProperties::GetAttributeNoCase(const _stringx& name) const
{
    const auto exact = m_entries.find(_wstringx(name));
    if (exact != m_entries.end())
        return exact->second.text;
    for (const auto& [key, property] : m_entries) {
        if (_stringx(key) == name)
            return property.text;
    }
    return _stringx();
}

void CProperties::SaveToState(IPropertyStateWriter& state) const
{
    for (const auto& [key, property] : m_entries)
        state.SaveProperty(_stringx(key), property.text);
}

void CProperties::SaveToParcelState(IPropertyStateWriter& state, const _stringx& parcelId) const
{
    for (const auto& [key, property] : m_entries)
        state.SaveParcelValue(parcelId, _stringx(key), property.text);
}
