#include "suite/SetupXmlLoad.h"

#include "setupxml/SetupXmlReader.h"
#include "suite/SetupEngine.h"

SetupXmlLoader DefaultSetupXmlLoader()
{
    return [](CSetupEngine& engine, const _stringx& path) {
        CSetupXmlReader reader;
        return reader.Load(path, engine);
    };
}
