#include "conditions/ParcelRefCondition.h"

#include <map>

#include <com/ComPtr.h>

#include "conditions/SetupEngine.h"
#include "kr/holders.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

struct NoCaseLess {
    bool operator()(const _stringx& a, const _stringx& b) const noexcept { return a.compare(b) < 0; }
};

// Parcel ids whose eligibility is being computed, shared by every ParcelRef
// of the process (condition trees are evaluated on one thread).
std::map<_stringx, bool, NoCaseLess>& InProgress()
{
    static std::map<_stringx, bool, NoCaseLess> marks;
    return marks;
}

} // namespace

HRESULT CParcelRefCondition::Validate()
{
    m_parcelId = ReadAttribute(L"Id");
    if (m_parcelId.empty()) {
        TraceFormat(CONDITION_SOURCE, L"ParceRef: no parcel ID provided");
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CParcelRefCondition::Evaluate(bool* result)
{
    *result = false;
    auto& marks = InProgress();
    auto entry = marks.try_emplace(m_parcelId, false).first;
    if (entry->second) {
        TraceFormat(CONDITION_SOURCE, L"Parcel ref condition of parcel ID %s appears to be causing an infinite loop",
                    m_parcelId.c_str());
        return E_INVALIDARG;
    }

    com::ComPtr<IParcels> parcels;
    ISetupEngine* engine = SetupEngine();
    HRESULT hr = engine ? engine->get_Parcels(parcels.Put()) : E_UNEXPECTED;
    if (SUCCEEDED(hr) && !parcels.Get())
        hr = E_UNEXPECTED;
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Failed to obtain parcel collection for ParcelRef, error %x", hr);
        return hr;
    }

    kr::variant_holder id;
    id.get()->vt = VT_BSTR;
    id.get()->bstrVal = SysAllocStringLen(m_parcelId.c_str(), static_cast<UINT>(m_parcelId.length()));
    com::ComPtr<IParcel> parcel;
    hr = parcels->get_Item(*id.get(), parcel.Put());
    if (hr == E_INVALIDARG || (SUCCEEDED(hr) && !parcel.Get())) {
        TraceFormat(CONDITION_SOURCE, L"Invalid/unknown parcel ID specified for ParcelRef: %s", m_parcelId.c_str());
        return S_OK;
    }
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Unknown error attempting to get parcel '%s' from collection, error %x",
                    m_parcelId.c_str(), hr);
        return hr;
    }

    marks[m_parcelId] = true;
    VARIANT_BOOL eligible = VARIANT_FALSE;
    hr = parcel->get_Eligible(&eligible);
    // Unmarked whatever the read gave, so a failed read is not taken for a loop later.
    marks.erase(m_parcelId);
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Failed to evaluate eligibility condition for ParcelRef (%s), error %x",
                    m_parcelId.c_str(), hr);
        return hr;
    }
    *result = eligible != VARIANT_FALSE;
    return S_OK;
}
