#include "parcels/ParcelRoutines.h"

#include "parcels/EngineServices.h"

namespace {

const wchar_t kMask[] = L"**********";

} // namespace

EnumParcelProgressState ParcelProgressStateOf(int actionState) noexcept
{
    switch (actionState) {
    case episModify:
        return eppsModify;
    case episRepair:
        return eppsRepair;
    case episRemove:
        return eppsRemove;
    default:
        return eppsInstalling;
    }
}

_stringx JoinWithSpace(const _stringx& first, const _stringx& second)
{
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    return first + L" " + second;
}

_stringx MaskHiddenPropertyValues(const _stringx& text)
{
    _stringx masked(text);
    IEngineServices* engine = EngineServices();
    if (!engine)
        return masked;
    for (const _stringx& name : engine->GetHiddenPropertyNames()) {
        const _stringx value = engine->GetProperty(name);
        if (!value.empty())
            masked.replace_all(value, _stringx(kMask));
    }
    return masked;
}

bool QueryRebootNow(IParcel* parcel)
{
    IEngineServices* engine = EngineServices();
    if (!engine)
        return false;
    bool now = false;
    if (engine->IsSilent()) {
        now = !(engine->GetProperty(L"KRSUITEREBOOT") == L"suppress");
    } else {
        VARIANT_BOOL answer = VARIANT_FALSE;
        engine->Fire_OnQueryReboot(parcel, &answer);
        now = answer != VARIANT_FALSE;
    }
    engine->SetLastRebootAnswer(now);
    return now;
}
