// Layout of an isochronous transfer buffer: a 16-byte header, one 12-byte
// entry per packet, then the packet data. The transfer length covers all three.
#pragma once

#include <windows.h>

#include "DravioIoctl.h"

namespace dravio {

constexpr ULONG DRAVIO_ISO_READ_FLAGS = 0x30000;
constexpr ULONG DRAVIO_ISO_WRITE_FLAGS = 0x20000;

constexpr ULONGLONG IsoHeaderSize(ULONGLONG packets)
{
    return sizeof(DRAVIO_ISO_HEADER) + packets * sizeof(DRAVIO_ISO_PACKET);
}

// Header plus `packets` packets of `maxPacketSize` bytes; false when that does not fit in 32 bits.
bool IsoReadBufferSize(DWORD packets, DWORD maxPacketSize, DWORD &size);

// Writes the header of a read buffer: packet i at header + i * maxPacketSize,
// its length the maximum packet size, status 0. The buffer must hold IsoReadBufferSize bytes.
void WriteIsoReadHeader(void *buffer, DWORD packets, DWORD maxPacketSize);

// Lays out a write buffer for `count` packets of the given lengths, taking the
// data contiguously from `data`; false when it does not fit in `capacity`.
bool BuildIsoWriteBuffer(void *buffer, DWORD capacity, const void *data, const DWORD *lengths, DWORD count,
                         DWORD &transferLength);

DRAVIO_ISO_HEADER *IsoHeader(void *buffer);
DRAVIO_ISO_PACKET *IsoPacket(void *buffer, DWORD index);

} // namespace dravio
