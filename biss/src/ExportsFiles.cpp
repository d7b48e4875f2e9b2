// Register images, listings and the configuration written to and read from
// files, and the CRC.
#include "ExportFrame.h"

using namespace ferrolink;

extern "C" {

int BISS_CALL BISS_SaveMasterConfig(BISS_U32 ulHandle, const char *pcFileName)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SaveRegisterListing(pcFileName); });
}

int BISS_CALL BISS_SaveDLLConfig(BISS_U32 ulHandle, const char *pcFileName)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.SaveDllConfig(pcFileName); });
}

int BISS_CALL BISS_LoadDLLConfig(BISS_U32 ulHandle, const char *pcFileName)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) { return m.LoadDllConfig(pcFileName); });
}

int BISS_CALL BISS_SaveRegister(BISS_U32 ulHandle, const char *pcFileName, BISS_U32 ulStartAddress,
                                BISS_U32 ulNumberOfBytes, const BISS_U32 *pulData)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.SaveRegister(pcFileName, ulStartAddress, ulNumberOfBytes, pulData);
    });
}

int BISS_CALL BISS_LoadRegister(BISS_U32 ulHandle, const char *pcFileName, BISS_U32 ulStartAddress,
                                BISS_U32 ulNumberOfBytes, BISS_U32 *pulData)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.LoadRegister(pcFileName, ulStartAddress, ulNumberOfBytes, pulData);
    });
}

int BISS_CALL BISS_CalculateCRC(BISS_U32 ulHandle, BISS_U32 ulPolynomial, const BISS_U32 *pulData,
                                BISS_U32 ulNumberOfBytes, BISS_U32 *pulCrc)
{
    return CallMaster(ulHandle, [&](BissMasterClass &m) {
        return m.CalculateCrc(ulPolynomial, pulData, ulNumberOfBytes, pulCrc);
    });
}

} // extern "C"
