#include "parcels/MsiMessageText.h"

#include <new>

#include "kr/com_exception.h"
#include "kr/safe_array.h"

namespace {

constexpr wchar_t kBlanks[] = L" \t\r\n";

// The part of the text between two positions, trimmed; empty when they cross.
_stringx Between(const _stringx& text, size_t start, size_t end)
{
    if (start >= end || start >= text.size())
        return _stringx();
    _stringx part = text.substr(start, end - start);
    part.trim(kBlanks);
    return part;
}

_stringx Marker(unsigned number, const wchar_t* format)
{
    _stringx marker;
    marker.format(format, number);
    return marker;
}

} // namespace

std::vector<_stringx> SplitRecordFields(const _stringx& text)
{
    // Each marker is searched from the start of the text.
    std::vector<size_t> markers;
    for (unsigned number = 1;; ++number) {
        const size_t at = text.find(Marker(number, L"%u:"));
        if (at == _stringx::npos)
            break;
        markers.push_back(at);
    }
    std::vector<_stringx> fields;
    for (size_t i = 0; i < markers.size(); ++i) {
        const size_t start = markers[i] + 3;
        const size_t end = i + 1 < markers.size() ? (markers[i + 1] == 0 ? 0 : markers[i + 1] - 1) : text.size();
        fields.push_back(Between(text, start, end));
    }
    return fields;
}

HRESULT FilesInUseToSafeArray(const _stringx& text, VARIANT* items)
{
    if (!items)
        return E_POINTER;
    std::vector<_stringx> titles;
    const size_t first = text.find(L"1:");
    if (first == _stringx::npos) {
        _stringx whole = text;
        whole.trim(kBlanks);
        if (!whole.empty())
            titles.push_back(whole);
    } else {
        // Field n runs from three characters after its marker to the character
        // before the next one; each marker is searched after the previous.
        size_t start = first;
        for (unsigned number = 2;; ++number) {
            const size_t next = text.find(Marker(number, L"%u: "), start + 3);
            const bool last = next == _stringx::npos;
            const size_t end = last ? (text.empty() ? 0 : text.size() - 1) : (next == 0 ? 0 : next - 1);
            if ((number - 1) % 2 == 0) {
                _stringx field = Between(text, start + 3, end);
                if (!field.empty())
                    titles.push_back(field);
            }
            if (last)
                break;
            start = next;
        }
    }
    try {
        kr::safe_array array;
        array.create(static_cast<ULONG>(titles.size()));
        for (size_t i = 0; i < titles.size(); ++i)
            array[static_cast<LONG>(i) + 1] = titles[i];
        VariantClear(items);
        V_VT(items) = VT_ARRAY | VT_BSTR;
        V_ARRAY(items) = array.detach();
    } catch (const com_exception& failure) {
        return failure.hresult();
    } catch (HRESULT failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

DWORD MsiLogModeFromOptions(const _stringx& options)
{
    _stringx lower = options;
    if (!lower.empty())
        CharLowerW(&lower[0]);
    DWORD mode = 0;
    for (size_t i = 0; i < lower.size(); ++i) {
        switch (lower[i]) {
        case L'e': mode |= 0x2; break;
        case L'w': mode |= 0x4; break;
        case L'u': mode |= 0x8; break;
        case L'i': mode |= 0x10; break;
        case L'm': mode |= 0x80; break;
        case L'a': mode |= 0x100; break;
        case L'r': mode |= 0x200; break;
        case L'p': mode |= 0x400; break;
        case L'c': mode |= 0x800; break;
        case L'v': mode |= 0x1000; break;
        case L'x': mode |= 0x2000 | 0x1000000; break;
        case L'+': mode |= 0x1000000; break;
        case L'!': mode |= 0x2000000; break;
        case L'*': mode |= 0xF9E; break;
        default: break;
        }
    }
    return mode;
}
