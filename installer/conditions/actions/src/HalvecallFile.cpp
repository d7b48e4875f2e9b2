#include "actions/HalvecallFile.h"

#include "actions/ActionEngine.h"
#include "kr/trace_log.h"

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

_stringx ProvideHalvecall()
{
    constexpr wchar_t kName[] = L"Halvecall.dll";
    if (IActionEngine* engine = ActionEngine()) {
        const _stringx path = engine->GetStagingFolder().path_combine(kName);
        if (engine->ExtractStreamFile(kName, path))
            return path;
    }
    TraceFormat(ACTION_SOURCE, L"Halvecall.dll not present on stream");
    return _stringx();
}
