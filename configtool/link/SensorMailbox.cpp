#include "SensorMailbox.h"

#include "SensorLinkState.h"

namespace {

enum MailboxRegister : BISS_U32 {
    kCommandRegister = 0,
    kAddressHighRegister = 1,
    kAddressLowRegister = 2,
    kDataRegister = 3,
    kCountRegister = 12,
    kResultRegister = 15,
};

// ferrolink's access modes: 0 its own control frames, 1 the master chip's access. The data and
// address-low writes go in the mode the protocol value names, so SSI (2) is refused before
// anything reaches the encoder.
constexpr BISS_U32 kAccessMode0 = 0;

// Lives for the whole run: the encoder carries out a command only when its sequence number
// differs from the previous one.
std::uint8_t g_sequence = 1;
bool g_countRead = false;
std::uint32_t g_result = 0;

int WriteRegister(BISS_U32 mode, BISS_U32 reg, BISS_U32 value)
{
    BISS_U32 count = 1;
    g_link.lastError = BISS_WriteSlaveRegister(g_link.handle, mode, kEncoderSlave, reg, &count, &value);
    return g_link.lastError;
}

int ReadRegister(BISS_U32 reg, std::uint32_t *value)
{
    BISS_U32 count = 1;
    BISS_U32 data = 0;
    g_link.lastError = BISS_ReadSlaveRegister(g_link.handle, kAccessMode0, kEncoderSlave, reg, &count, &data);
    *value = data;
    return g_link.lastError;
}

std::uint8_t NextSequence()
{
    g_sequence = g_sequence >= 5 ? 1 : g_sequence + 1;
    return g_sequence;
}

} // namespace

int OperateSlaveRegByAddress(unsigned address, unsigned value, int operation)
{
    if (!g_countRead) {
        // Read once per run; neither its code nor its value matter.
        ReadRegister(kCountRegister, &g_result);
        g_countRead = true;
    }
    const BISS_U32 command = static_cast<BISS_U32>(NextSequence() * 16 + operation) & 0xFF;
    const BISS_U32 dataMode = static_cast<BISS_U32>(g_link.protocol);
    if (WriteRegister(dataMode, kDataRegister, value) != 0)
        return g_link.lastError;
    if (WriteRegister(dataMode, kAddressLowRegister, address & 0xFF) != 0)
        return g_link.lastError;
    if (WriteRegister(kAccessMode0, kAddressHighRegister, (address >> 8) & 0xFF) != 0)
        return g_link.lastError;
    if (WriteRegister(kAccessMode0, kCommandRegister, command) != 0)
        return g_link.lastError;
    return ReadRegister(kResultRegister, &g_result);
}

std::uint32_t MailboxResult()
{
    return g_result;
}
