// The older exported names: each wraps BISS_ exports and answers in the older code set.
#include <algorithm>
#include <vector>

#include "BissParams.h"
#include "ExportFrame.h"
#include "LegacyCodes.h"

using namespace ferrolink;

namespace {

int Legacy(int code) { return TranslateLegacyCode(code); }

BissMasterClass *OpenMaster(BISS_U32 handle) { return BissHandleTable::Instance().Find(handle); }

} // namespace

extern "C" {

int BISS_CALL GetBissinterfaceLibraryVersion(BISS_U32 *pulVersion)
{
    const int result = BISS_GetDLLVersion(pulVersion);
    return result == eBISS_NO_ERROR ? result : Legacy(result);
}

int BISS_CALL OpenInterface(BISS_U32 ulInterface, const char *pcName, BISS_U32, BISS_U32, BISS_U32 *pulHandle)
{
    const int opened = BISS_Open(pulHandle);
    if (opened != eBISS_NO_ERROR)
        return Legacy(opened);
    // The handle stays open when the selection fails.
    return Legacy(BISS_SetInterface(*pulHandle, ulInterface, pcName));
}

int BISS_CALL CloseInterface(BISS_U32 ulHandle)
{
    return Legacy(BISS_Close(ulHandle));
}

int BISS_CALL SetBissInterface(BISS_U32 ulHandle, BISS_U32 ulInterface, const char *pcName)
{
    return Legacy(BISS_SetInterface(ulHandle, ulInterface, pcName));
}

int BISS_CALL GetBissInterface(BISS_U32 ulHandle, BISS_U32 *pulInterface)
{
    return Legacy(BISS_GetInterface(ulHandle, pulInterface));
}

int BISS_CALL GetBissMasterVersion(BISS_U32 ulHandle, unsigned char *pucChipId, unsigned char *pucRevision)
{
    if (pucChipId == nullptr || pucRevision == nullptr)
        return Legacy(OpenMaster(ulHandle) == nullptr ? eBISS_INVALID_HANDLE : eBISS_INVALID_PARAMETER);
    BISS_U32 id = 0, revision = 0;
    int result = BISS_GetComParam(ulHandle, eBISS_CP_MASTER_ID, &id);
    if (result != eBISS_NO_ERROR)
        return Legacy(result);
    result = BISS_GetComParam(ulHandle, eBISS_CP_MASTER_REVISION, &revision);
    *pucChipId = static_cast<unsigned char>(id);
    *pucRevision = static_cast<unsigned char>(revision);
    return Legacy(result);
}

int BISS_CALL WriteMaster(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 ulValue, BISS_U32 ulMask)
{
    if (ulMask == 0xFFFFFFFF)
        return Legacy(BISS_WriteMasterRegister(ulHandle, ulAddress, ulValue));
    BISS_U32 old = 0;
    const int read = BISS_ReadMasterRegister(ulHandle, ulAddress, &old);
    if (read != eBISS_NO_ERROR)
        return Legacy(read);
    return Legacy(BISS_WriteMasterRegister(ulHandle, ulAddress, (old & ~ulMask) + (ulValue & ulMask)));
}

int BISS_CALL ReadMaster(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue)
{
    return Legacy(BISS_ReadMasterRegister(ulHandle, ulAddress, pulValue));
}

int BISS_CALL SetMasterConfig(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulItem, BISS_U32 ulValue)
{
    BissMasterClass *master = OpenMaster(ulHandle);
    if (master == nullptr)
        return Legacy(eBISS_INVALID_HANDLE);
    const LegacyItem item = LookupLegacyItem(ulItem, true);
    int result = eBISS_NO_ERROR;
    switch (item.kind) {
    case LegacyItem::kExtra: result = master->RecordError(master->SetChannelExtra(ulChannel, item.index, ulValue)); break;
    case LegacyItem::kCom: result = BISS_SetComParam(ulHandle, item.index, ulValue); break;
    case LegacyItem::kFrame: result = BISS_SetFrameParam(ulHandle, ulChannel, item.index, ulValue); break;
    default: break;
    }
    if (ulItem == 3 || ulItem == 4) {
        // The SCD length follows the data length and the CRC.
        uint32_t dataLength = 0;
        BISS_U32 polynomial = 0;
        master->GetChannelExtra(ulChannel, 2, &dataLength);
        BISS_GetFrameParam(ulHandle, ulChannel, eBISS_FP_CRC_POLY, &polynomial);
        BISS_SetFrameParam(ulHandle, ulChannel, eBISS_FP_SCD_LENGTH, dataLength + CrcLength(polynomial));
    } else if (ulItem == 10 || ulItem == 11) {
        uint32_t ssi = 0, biss = 0;
        master->GetChannelExtra(ulChannel, 4, &ssi);
        master->GetChannelExtra(ulChannel, 5, &biss);
        BISS_SetComParam(ulHandle, eBISS_CP_PROTOCOL, ssi != 0 ? 2 : biss != 0 ? 0 : 1);
    }
    return Legacy(result);
}

int BISS_CALL GetMasterConfig(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulItem, BISS_U32 *pulValue)
{
    BissMasterClass *master = OpenMaster(ulHandle);
    if (master == nullptr)
        return Legacy(eBISS_INVALID_HANDLE);
    const LegacyItem item = LookupLegacyItem(ulItem, false);
    if (item.kind != LegacyItem::kNone && pulValue == nullptr)
        return Legacy(static_cast<int>(master->RecordError(eBISS_INVALID_PARAMETER)));
    switch (item.kind) {
    case LegacyItem::kExtra: {
        uint32_t value = 0;
        const int result = master->RecordError(master->GetChannelExtra(ulChannel, item.index, &value));
        if (result == eBISS_NO_ERROR)
            *pulValue = value;
        return Legacy(result);
    }
    case LegacyItem::kCom: return Legacy(BISS_GetComParam(ulHandle, item.index, pulValue));
    case LegacyItem::kFrame: return Legacy(BISS_GetFrameParam(ulHandle, ulChannel, item.index, pulValue));
    case LegacyItem::kFrameFourIsZero: {
        BISS_U32 four = 0;
        const int result = BISS_GetFrameParam(ulHandle, ulChannel, item.index, &four);
        *pulValue = four == 0 ? 1 : 0;
        return Legacy(result);
    }
    default: return 0;
    }
}

int BISS_CALL GetMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue)
{
    return Legacy(BISS_GetMasterRegister(ulHandle, ulAddress, pulValue));
}

int BISS_CALL WriteMasterConfig(BISS_U32 ulHandle, BISS_U32)
{
    return Legacy(BISS_WriteMasterParams(ulHandle));
}

int BISS_CALL ReadMasterConfig(BISS_U32 ulHandle)
{
    BissMasterClass *master = OpenMaster(ulHandle);
    if (master == nullptr)
        return eBISS_INVALID_HANDLE;
    return master->ReadMasterConfig();
}

int BISS_CALL InitBissComm(BISS_U32 ulHandle)
{
    return Legacy(BISS_InitBissComm(ulHandle));
}

} // extern "C"

namespace {

// No access moves more than the 128 registers a slave has; a larger count is
// refused before the element copy is made.
constexpr BISS_U32 kMaxSlaveBytes = 128;
constexpr BISS_U32 kAccessModeParam = 4;

// The access mode a slave's registers are reached in (0 when it cannot be read).
BISS_U32 SlaveAccessMode(BISS_U32 handle, BISS_U32 slave)
{
    BISS_U32 mode = 0;
    BISS_GetFrameParam(handle, slave, kAccessModeParam, &mode);
    return mode;
}

} // namespace

extern "C" {

int BISS_CALL ReadSlaveRegister(BISS_U32 ulHandle, BISS_U32, BISS_U32 ulSlave, BISS_U32 ulAddress,
                                BISS_U32 *pulNumberOfBytes, unsigned char *pucData)
{
    BissMasterClass *master = OpenMaster(ulHandle);
    if (master == nullptr)
        return Legacy(eBISS_INVALID_HANDLE);
    if (pulNumberOfBytes == nullptr || pucData == nullptr)
        return Legacy(BISS_ReadSlaveRegister(ulHandle, 0, ulSlave, ulAddress, pulNumberOfBytes, nullptr));
    if (*pulNumberOfBytes > kMaxSlaveBytes)
        return Legacy(static_cast<int>(master->RecordError(eBISS_REGCNT_EXCEEDED)));
    const BISS_U32 mode = SlaveAccessMode(ulHandle, ulSlave);
    // One element at least, so a count of 0 reaches the export's own check.
    std::vector<BISS_U32> values(std::max<BISS_U32>(*pulNumberOfBytes, 1));
    const int result = BISS_ReadSlaveRegister(ulHandle, mode, ulSlave, ulAddress, pulNumberOfBytes, values.data());
    const BISS_U32 transferred = std::min<BISS_U32>(*pulNumberOfBytes, static_cast<BISS_U32>(values.size()));
    for (BISS_U32 i = 0; i < transferred; ++i)
        pucData[i] = static_cast<unsigned char>(values[i] & 0xFF);
    return Legacy(result);
}

int BISS_CALL WriteSlaveRegister(BISS_U32 ulHandle, BISS_U32, BISS_U32 ulSlave, BISS_U32 ulAddress,
                                 BISS_U32 *pulNumberOfBytes, const unsigned char *pucData, BISS_U32)
{
    BissMasterClass *master = OpenMaster(ulHandle);
    if (master == nullptr)
        return Legacy(eBISS_INVALID_HANDLE);
    if (pulNumberOfBytes == nullptr || pucData == nullptr)
        return Legacy(BISS_WriteSlaveRegister(ulHandle, 0, ulSlave, ulAddress, pulNumberOfBytes, nullptr));
    if (*pulNumberOfBytes > kMaxSlaveBytes)
        return Legacy(static_cast<int>(master->RecordError(eBISS_REGCNT_EXCEEDED)));
    const BISS_U32 mode = SlaveAccessMode(ulHandle, ulSlave);
    std::vector<BISS_U32> values(std::max<BISS_U32>(*pulNumberOfBytes, 1));
    for (BISS_U32 i = 0; i < *pulNumberOfBytes; ++i)
        values[i] = pucData[i];
    return Legacy(BISS_WriteSlaveRegister(ulHandle, mode, ulSlave, ulAddress, pulNumberOfBytes, values.data()));
}

int BISS_CALL ReadSens(BISS_U32 ulHandle, BISS_U32 *pulHigh, BISS_U32 *pulLow)
{
    BISS_U32 crcOk = 0;
    BISS_U32 controlDone = 0;
    return Legacy(BISS_ReadSCD(ulHandle, pulHigh, pulLow, &crcOk, 0, &controlDone));
}

} // extern "C"
