#include "ModelText.h"

#include <com/Bstr.h>

#include "ObjectText.h"
#include "parcels/EngineServices.h"

HRESULT ResolvedTextOut(BSTR raw, BSTR* out)
{
    const com::Bstr held = com::Bstr::Adopt(raw);
    const _stringx id = TextIn(held.Get());
    IEngineServices* engine = EngineServices();
    return TextOut(engine ? engine->ResolveStringId(id) : id, out);
}
