#include "DravioPipe.h"

#include "DriverSeam.h"
#include "LastError.h"

namespace dravio {

#ifdef UNICODE
DWORD CDravioPipe::Bind(int number, UCHAR endpointAddress, HDEVINFO list, const GUID *interfaceClass,
                        bool checkVersion)
{
    if (!IsOpen()) {
        const DWORD status = OpenByNumber(number, list, interfaceClass, checkVersion);
        if (status != DRAVIO_STATUS_SUCCESS)
            return status;
    }
    return BindEndpoint(endpointAddress);
}

DWORD CDravioPipe::BindEndpoint(UCHAR endpointAddress)
{
    return SyncIoctl(IOCTL_DRAVIO_BIND_PIPE, &endpointAddress, sizeof endpointAddress, nullptr, 0);
}
#else
DWORD CDravioPipe::Bind(int number, UCHAR endpointAddress, HDEVINFO list, const GUID *interfaceClass)
{
    if (!IsOpen()) {
        const DWORD status = OpenByNumber(number, list, interfaceClass);
        if (status != DRAVIO_STATUS_SUCCESS)
            return status;
    }
    return SyncIoctl(IOCTL_DRAVIO_BIND_PIPE, &endpointAddress, sizeof endpointAddress, nullptr, 0);
}
#endif

DWORD CDravioPipe::Unbind()
{
    return SyncIoctl(IOCTL_DRAVIO_UNBIND_PIPE, nullptr, 0, nullptr, 0);
}

DWORD CDravioPipe::ResetPipe()
{
    return SyncIoctl(IOCTL_DRAVIO_RESET_PIPE, nullptr, 0, nullptr, 0);
}

DWORD CDravioPipe::AbortPipe()
{
    return SyncIoctl(IOCTL_DRAVIO_ABORT_PIPE, nullptr, 0, nullptr, 0);
}

DWORD CDravioPipe::GetPipeParameters(ULONG &flags)
{
    flags = 0;
    return SyncIoctl(IOCTL_DRAVIO_GET_PIPE_PARAMETERS, nullptr, 0, &flags, sizeof flags);
}

DWORD CDravioPipe::SetPipeParameters(ULONG flags)
{
    return SyncIoctl(IOCTL_DRAVIO_SET_PIPE_PARAMETERS, &flags, sizeof flags, nullptr, 0);
}

DWORD CDravioPipe::SetupPipeStatistics(ULONG averagingInterval)
{
    const DRAVIO_PIPE_STATISTICS_SETUP setup{averagingInterval, 0, 0};
    return SyncIoctl(IOCTL_DRAVIO_SETUP_PIPE_STATISTICS, &setup, sizeof setup, nullptr, 0);
}

DWORD CDravioPipe::QueryPipeStatistics(DRAVIO_PIPE_STATISTICS &statistics, ULONG queryFlags)
{
    return SyncIoctl(IOCTL_DRAVIO_QUERY_PIPE_STATISTICS, &queryFlags, sizeof queryFlags, &statistics,
                     sizeof statistics);
}

DWORD CDravioPipe::ResetPipeStatistics()
{
    DRAVIO_PIPE_STATISTICS discarded{};
    return QueryPipeStatistics(discarded, DRAVIO_STATISTICS_RESET_ALL);
}

DWORD CDravioPipe::PipeControlTransferIn(void *buffer, DWORD &length, const DRAVIO_CONTROL_TRANSFER_REQUEST &request)
{
    DWORD returned = 0;
    const DWORD status =
        SyncIoctl(IOCTL_DRAVIO_PIPE_CONTROL_TRANSFER_IN, &request, sizeof request, buffer, length, &returned);
    length = returned;
    return status;
}

DWORD CDravioPipe::PipeControlTransferOut(const void *buffer, DWORD &length,
                                          const DRAVIO_CONTROL_TRANSFER_REQUEST &request)
{
    // Direct in: the driver takes the data from the output buffer.
    DWORD returned = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_PIPE_CONTROL_TRANSFER_OUT, &request, sizeof request,
                                   const_cast<void *>(buffer), length, &returned);
    length = returned;
    return status;
}

bool CDravioPipe::Read(CDravioBuffer &buffer)
{
    return Submit(buffer, true);
}

bool CDravioPipe::Write(CDravioBuffer &buffer)
{
    return Submit(buffer, false);
}

bool CDravioPipe::Submit(CDravioBuffer &buffer, bool read)
{
    buffer.bytesTransferred = 0;
    if (!IsOpen()) {
        buffer.status = DRAVIO_ERR_DEVICE_NOT_OPEN;
        return false;
    }
    // The driver would write past the memory, or complete into no event.
    if (buffer.bytesToTransfer > buffer.BufferSize() || !buffer.Event()) {
        buffer.status = buffer.Event() ? DRAVIO_ERR_INVALID_PARAMETER : DRAVIO_ERR_NO_MEMORY;
        return false;
    }

    OVERLAPPED &overlapped = buffer.Overlapped();
    const HANDLE event = overlapped.hEvent;
    overlapped = {};
    overlapped.hEvent = event;

    const DriverSeam &seam = CurrentDriverSeam();
    const BOOL done = read ? seam.ReadFile(DeviceHandle(), buffer.Buffer(), buffer.bytesToTransfer,
                                           &buffer.bytesTransferred, &overlapped)
                           : seam.WriteFile(DeviceHandle(), buffer.Buffer(), buffer.bytesToTransfer,
                                            &buffer.bytesTransferred, &overlapped);
    buffer.status = done ? DRAVIO_STATUS_SUCCESS : LastErrorStatus();
    return done || buffer.status == DRAVIO_STATUS_PENDING;
}

DWORD CDravioPipe::WaitForCompletion(CDravioBuffer &buffer, DWORD timeoutMs, HANDLE abortEvent)
{
    if (buffer.status != DRAVIO_STATUS_PENDING)
        return buffer.status;

    const HANDLE handles[] = {buffer.Event(), abortEvent};
    const DWORD wait = WaitForMultipleObjects(abortEvent ? 2 : 1, handles, FALSE, timeoutMs);
    switch (wait) {
    case WAIT_OBJECT_0:
        buffer.status = GetOverlappedResult(DeviceHandle(), &buffer.Overlapped(), &buffer.bytesTransferred, FALSE)
                            ? DRAVIO_STATUS_SUCCESS
                            : LastErrorStatus();
        return buffer.status;
    case WAIT_OBJECT_0 + 1:
        return DRAVIO_ERR_ABORTED;
    case WAIT_TIMEOUT:
        return DRAVIO_ERR_TIMEOUT;
    default:
        return wait;
    }
}

DWORD CDravioPipe::ReadSync(void *data, DWORD &length, DWORD timeoutMs)
{
    return TransferSync(data, length, timeoutMs, true);
}

DWORD CDravioPipe::WriteSync(const void *data, DWORD &length, DWORD timeoutMs)
{
    return TransferSync(const_cast<void *>(data), length, timeoutMs, false);
}

DWORD CDravioPipe::TransferSync(void *data, DWORD &length, DWORD timeoutMs, bool read)
{
    CDravioBuffer transfer(data, length);
    transfer.bytesToTransfer = length;

    DWORD status = DRAVIO_STATUS_SUCCESS;
    if (!Submit(transfer, read)) {
        status = transfer.status;
        if (status == DRAVIO_ERR_TIMEOUT)
            CancelIo();
    } else if (transfer.status == DRAVIO_STATUS_PENDING) {
        OVERLAPPED &overlapped = transfer.Overlapped();
        if (WaitForSingleObject(transfer.Event(), timeoutMs) == WAIT_OBJECT_0) {
            status = GetOverlappedResult(DeviceHandle(), &overlapped, &transfer.bytesTransferred, FALSE)
                         ? DRAVIO_STATUS_SUCCESS
                         : LastErrorStatus();
        } else {
            // The driver still owns the caller's memory. CancelIo reaches only
            // what this thread submitted, so cancel here and wait for the end.
            CancelIo();
            WaitForSingleObject(transfer.Event(), INFINITE);
            GetOverlappedResult(DeviceHandle(), &overlapped, &transfer.bytesTransferred, FALSE);
            status = DRAVIO_ERR_TIMEOUT;
        }
    }
    length = transfer.bytesTransferred;
    return status;
}

} // namespace dravio
