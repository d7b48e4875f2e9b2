#include "IsoBuffer.h"

#include <cstring>

namespace dravio {

DRAVIO_ISO_HEADER *IsoHeader(void *buffer)
{
    return static_cast<DRAVIO_ISO_HEADER *>(buffer);
}

DRAVIO_ISO_PACKET *IsoPacket(void *buffer, DWORD index)
{
    return reinterpret_cast<DRAVIO_ISO_PACKET *>(static_cast<BYTE *>(buffer) + sizeof(DRAVIO_ISO_HEADER)) + index;
}

bool IsoReadBufferSize(DWORD packets, DWORD maxPacketSize, DWORD &size)
{
    const ULONGLONG total = IsoHeaderSize(packets) + static_cast<ULONGLONG>(packets) * maxPacketSize;
    if (total > MAXDWORD)
        return false;
    size = static_cast<DWORD>(total);
    return true;
}

void WriteIsoReadHeader(void *buffer, DWORD packets, DWORD maxPacketSize)
{
    const DWORD headerSize = static_cast<DWORD>(IsoHeaderSize(packets));
    *IsoHeader(buffer) = {packets, DRAVIO_ISO_READ_FLAGS, 0, 0};
    for (DWORD i = 0; i < packets; ++i)
        *IsoPacket(buffer, i) = {headerSize + i * maxPacketSize, maxPacketSize, 0};
}

bool BuildIsoWriteBuffer(void *buffer, DWORD capacity, const void *data, const DWORD *lengths, DWORD count,
                         DWORD &transferLength)
{
    const ULONGLONG headerSize = IsoHeaderSize(count);
    ULONGLONG total = headerSize;
    for (DWORD i = 0; i < count; ++i)
        total += lengths[i];
    if (total > capacity)
        return false;

    *IsoHeader(buffer) = {count, DRAVIO_ISO_WRITE_FLAGS, 0, 0};
    DWORD offset = static_cast<DWORD>(headerSize);
    for (DWORD i = 0; i < count; ++i) {
        *IsoPacket(buffer, i) = {offset, lengths[i], 0};
        offset += lengths[i];
    }
    if (total > headerSize)
        std::memcpy(static_cast<BYTE *>(buffer) + headerSize, data, static_cast<size_t>(total - headerSize));
    transferLength = static_cast<DWORD>(total);
    return true;
}

} // namespace dravio
