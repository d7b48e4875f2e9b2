// A device object whose handle is bound to one endpoint: reads and writes on
// it move data on that endpoint. Requests go through the device's synchronous
// path; transfers use each buffer's own overlapped structure and take no lock.
#pragma once

#include "Dravio.h"
#include "DravioBuffer.h"

namespace dravio {

class CDravioPipe : public CDravio {
public:
    CDravioPipe() = default;
    ~CDravioPipe() override = default;

    // Opens the device first when needed (as OpenByNumber does), then binds the endpoint.
#ifdef DRAVIO_WIDE_BUILD
    DWORD Bind(int number, UCHAR endpointAddress, HDEVINFO list, const GUID *interfaceClass, bool checkVersion);
    // The bind request alone, on the open handle.
    DWORD BindEndpoint(UCHAR endpointAddress);
#else
    DWORD Bind(int number, UCHAR endpointAddress, HDEVINFO list, const GUID *interfaceClass);
#endif
    DWORD Unbind();
    DWORD ResetPipe();
    DWORD AbortPipe();

    DWORD GetPipeParameters(ULONG &flags);
    DWORD SetPipeParameters(ULONG flags);
    DWORD SetupPipeStatistics(ULONG averagingInterval);
    DWORD QueryPipeStatistics(DRAVIO_PIPE_STATISTICS &statistics, ULONG queryFlags);
    DWORD ResetPipeStatistics();

    // The 12-byte request is the caller's; `length` is the buffer size in and the bytes moved out.
    DWORD PipeControlTransferIn(void *buffer, DWORD &length, const DRAVIO_CONTROL_TRANSFER_REQUEST &request);
    DWORD PipeControlTransferOut(const void *buffer, DWORD &length, const DRAVIO_CONTROL_TRANSFER_REQUEST &request);

    // Submit one overlapped transfer of the buffer's bytes-to-transfer; true when
    // it completed at once or is pending. The buffer's status tells which.
    bool Read(CDravioBuffer &buffer);
    bool Write(CDravioBuffer &buffer);
    // The status of a submitted transfer: 0xE000100C on time-out and 0xE000101E
    // when the abort event ended the wait, the transfer still pending in both.
    DWORD WaitForCompletion(CDravioBuffer &buffer, DWORD timeoutMs, HANDLE abortEvent = nullptr);

    // One transfer over the caller's memory, waited for. On time-out the transfer
    // is cancelled and waited for before the call returns 0xE000100C, so the
    // memory is free again; `length` becomes the bytes transferred in every case.
    DWORD ReadSync(void *data, DWORD &length, DWORD timeoutMs);
    DWORD WriteSync(const void *data, DWORD &length, DWORD timeoutMs);

private:
    bool Submit(CDravioBuffer &buffer, bool read);
    DWORD TransferSync(void *data, DWORD &length, DWORD timeoutMs, bool read);
};

} // namespace dravio
