// Parcels and features by id and name, through the collections the user
// interface sees, so that both find the same objects.

#include "suite/SetupEngine.h"

#include "kr/trace_log.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

// The collection's item under a name (compared without regard to case), or none.
template <class Item, class Collection>
com::ComPtr<Item> ItemByName(Collection* collection, const _stringx& name)
{
    com::ComPtr<Item> found;
    if (!collection)
        return found;
    VARIANT key;
    VariantInit(&key);
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocStringLen(name.c_str(), static_cast<UINT>(name.length()));
    if (key.bstrVal && FAILED(collection->get_Item(key, found.Put())))
        found = nullptr;
    VariantClear(&key);
    return found;
}

} // namespace

CParcel* CSetupEngine::FindParcel(const _stringx& id)
{
    com::ComPtr<IParcels> parcels;
    if (FAILED(get_Parcels(parcels.Put())))
        return nullptr;
    const com::ComPtr<IParcel> item = ItemByName<IParcel>(parcels.Get(), id);
    for (const auto& parcel : m_model->parcels) {
        if (item && static_cast<IParcel*>(parcel.Get()) == item.Get())
            return parcel.Get();
    }
    return nullptr;
}

CFeature* CSetupEngine::FindFeature(const _stringx& name)
{
    com::ComPtr<IFeatures> features;
    com::ComPtr<IFeature> item;
    if (SUCCEEDED(get_Features(features.Put())))
        item = ItemByName<IFeature>(features.Get(), name);
    for (size_t top = 0; !item && top < m_model->topLevelFeatures.size(); ++top)
        item = ModelEntry(m_model->topLevelFeatures[top]).FindFeature(name);
    if (item) {
        for (const auto& feature : m_model->features) {
            if (static_cast<IFeature*>(feature.Get()) == item.Get())
                return feature.Get();
        }
    }
    ENGINE_TRACE(L"Engine: couldn't get feature '%s'", name.c_str());
    return nullptr;
}

bool CSetupEngine::IsTopLevelFeature(const _stringx& name)
{
    const _wstringx exact(name.c_str());
    for (CFeature* feature : m_model->topLevelFeatures) {
        if (_wstringx(ModelEntry(feature).GetName().c_str()) == exact)
            return true;
    }
    return false;
}
