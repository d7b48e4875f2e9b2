#include "parcels/StateObject.h"

int CStateEntry::GetInt() const
{
    if (m_value.starts_with(L"0x")) {
        unsigned long hex = 0;
        return _stringx(m_value, 2).to_ulong(hex, 16) ? static_cast<int>(hex) : 0;
    }
    long value = 0;
    return m_value.to_long(value, 10) ? static_cast<int>(value) : 0;
}

bool CStateEntry::GetBool() const
{
    return m_value == L"Yes" || m_value == L"Y" || m_value == L"1" || m_value == L"True";
}
