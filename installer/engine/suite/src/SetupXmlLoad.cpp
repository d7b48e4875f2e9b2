#include "suite/SetupXmlLoad.h"

#include "kr/trace_log.h"

// The setup.xml reader is linked in here once it exists; until then the model
// stays empty.
SetupXmlLoader DefaultSetupXmlLoader()
{
    return [](CSetupEngine&, const _stringx& path) {
        TraceFormat({L"SetupEngine", __LINE__}, L"Engine: no setup.xml reader, %s is not read", path.c_str());
    };
}
