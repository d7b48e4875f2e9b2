// Request 10 in the proxy: the script project's setup runs here with a
// progress handler whose every report is a call-back to the engine.

#include "parcels/MachineWorkers.h"

#include "parcels/EmbeddedKRPHandler.h"

HRESULT CMachineWorkers::RunKrpSetup(CProxyHandler& pipe, const _stringx& engine_dll, const _stringx& setup_path,
                                     const _stringx& command_line, IDispatch* extension)
{
    CEmbeddedKRPHandler progress(&pipe);
    return progress.RunSetup(engine_dll, setup_path, command_line, extension);
}
