#include "MasterSetup.h"

#include "LinkPauses.h"
#include "SensorLinkState.h"

namespace {

int Store(int code)
{
    g_link.lastError = code;
    return code;
}

// The SSI word is followed by the diagnosis bits the SSI frame type adds; -1 for no known type.
int SsiFrameLength(std::uint16_t frameLength, std::uint8_t ssiFrameType)
{
    switch (ssiFrameType) {
    case 0: return frameLength;
    case 1: return frameLength + 8;
    case 2:
    case 3: return frameLength + 16;
    default: return -1;
    }
}

int ConfigureForProtocol()
{
    if (g_link.switchedToBiss) {
        const int code = ConfigParams(g_link.handle, kEncoderChannel, g_link.savedProtocol, g_link.frameLength,
                                      g_link.crcPolynomial, g_link.crcInversion);
        if (code == 0)
            g_link.savedProtocol = g_link.protocol;
        return code;
    }
    if (g_link.protocol == kProtocolBiss)
        return ConfigParams(g_link.handle, kEncoderChannel, kProtocolBiss, g_link.frameLength, g_link.crcPolynomial,
                            g_link.crcInversion);
    if (g_link.protocol == kProtocolSsi) {
        const int length = SsiFrameLength(g_link.frameLength, g_link.ssiFrameType);
        if (length < 0)
            return 0;
        return ConfigParams(g_link.handle, kEncoderChannel, kProtocolSsi, static_cast<std::uint16_t>(length),
                            g_link.crcPolynomial, g_link.crcInversion);
    }
    return 0;
}

} // namespace

int ConnectInterface(BISS_U32 *handle, std::uint16_t interfaceType, std::uint16_t scdClockDivider)
{
    if (handle == nullptr)
        return Store(eBISS_INVALID_PARAMETER);
    if (!g_link.connected && *handle == 0 && Store(BISS_Open(handle)) != 0)
        return g_link.lastError;
    if (Store(BISS_SetComParam(*handle, eBISS_CP_FREQ_SCD, scdClockDivider)) != 0)
        return g_link.lastError;
    if (g_link.connected)
        return g_link.lastError;
    const int code = BISS_SetInterface(*handle, interfaceType, "");
    // 18 reports an adapter below high speed: it is open and works at full speed.
    return Store(code == eBISS_USB_NOT_HIGH_SPEED ? 0 : code);
}

int ConfigParams(BISS_U32 handle, BISS_U32 channel, std::int32_t protocol, std::uint16_t frameLength,
                 std::uint16_t crcPolynomial, std::uint16_t crcInversion)
{
    struct Step {
        bool frameParam;
        BISS_U32 index;
        BISS_U32 value;
    };
    const Step steps[] = {
        {false, eBISS_CP_CTRL_SLAVE, channel},
        {true, eBISS_FP_CRC_POLY, crcPolynomial},
        {true, eBISS_FP_CRC_INVERT, crcInversion},
        {true, eBISS_FP_SCD_LENGTH, frameLength},
        {false, eBISS_CP_PROTOCOL, static_cast<BISS_U32>(protocol)},
        {false, eBISS_CP_CLKENI, 1},
        {false, eBISS_CP_FREQ_SCD, g_link.scdClockDivider},
        {false, eBISS_CP_FREQ_REG, g_link.registerClockValue},
        {false, eBISS_CP_FREQ_AGS, g_link.agsDivider},
    };
    for (const Step &step : steps) {
        const int code = step.frameParam ? BISS_SetFrameParam(handle, channel, step.index, step.value)
                                         : BISS_SetComParam(handle, step.index, step.value);
        if (Store(code) != 0)
            return code;
    }
    return Store(BISS_WriteMasterParams(handle));
}

int ConfigInterface()
{
    if (ConnectInterface(&g_link.handle, g_link.interfaceType, g_link.scdClockDivider) != 0)
        return g_link.lastError;
    if (ConfigureForProtocol() != 0)
        return g_link.lastError;
    if (g_link.connected)
        return g_link.lastError;
    // The master's start-up is run twice; only the second attempt counts. Callbacks may run
    // during the pauses, so the code is kept aside.
    int code = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ProcessLinkEvents();
        code = Store(BISS_InitBissComm(g_link.handle));
        PauseLinkWithEvents(1.0);
    }
    const std::uint8_t up = code == 0 ? 1 : 0;
    g_link.connected = up;
    g_link.communicationReady = up;
    return Store(code);
}
