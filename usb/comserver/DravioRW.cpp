#include "DravioRW.h"

#include "ServerStatus.h"
#include "SharedDeviceList.h"

#include "DravioStatus.h"
#include "IsoBuffer.h"

#include <objbase.h>

#include <cstring>

namespace {

// Workers of the process; the last one takes the shared device list with it.
LONG g_workerCount = 0;

// The event handlers running on this thread, innermost first.
struct HandlerFrame {
    const CDravioRW *owner;
    HandlerFrame *outer;
};
thread_local HandlerFrame *t_innermostHandler = nullptr;

const DWORD kErrorOutOfMemory = 0xE0001003;
const DWORD kErrorNotBound = 0xE0001009;

dravio::DRAVIO_ISO_HEADER *IsoHeaderOf(void *buffer)
{
    return static_cast<dravio::DRAVIO_ISO_HEADER *>(buffer);
}

dravio::DRAVIO_ISO_PACKET *IsoPacketsOf(void *buffer)
{
    return reinterpret_cast<dravio::DRAVIO_ISO_PACKET *>(static_cast<BYTE *>(buffer) +
                                                         sizeof(dravio::DRAVIO_ISO_HEADER));
}

} // namespace

CDravioRW::CDravioRW() : dataEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    InterlockedIncrement(&g_workerCount);
}

CDravioRW::~CDravioRW()
{
    StopThread();
    WaitThread();
    if (InterlockedDecrement(&g_workerCount) == 0) {
        CSharedDeviceList::Instance().Destroy();
    }
    deviceNumber_ = -1;
    endpointAddress_ = -1;
    Close();
    openFlag_ = 0;
    if (dataEvent_) {
        CloseHandle(dataEvent_);
    }
}

DWORD CDravioRW::LookUpPipe()
{
    dravio::DRAVIO_CONFIGURATION_INFO info;
    DWORD status = GetConfigurationInfo(info);
    if (status != 0) {
        return status;
    }
    maxPacketSize_ = 0;
    DWORD pipes = info.NumberOfPipes < dravio::DRAVIO_MAX_PIPES ? info.NumberOfPipes : dravio::DRAVIO_MAX_PIPES;
    for (DWORD i = 0; i < pipes; ++i) {
        const dravio::DRAVIO_PIPE_INFO &pipe = info.Pipes[i];
        if (pipe.EndpointAddress != static_cast<UCHAR>(endpointAddress_)) {
            continue;
        }
        maxPacketSize_ = pipe.MaximumPacketSize;
        switch (pipe.PipeType) {
        case dravio::DRAVIO_PIPE_ISOCHRONOUS:
            isochronous_ = 1;
            return 0;
        case dravio::DRAVIO_PIPE_BULK:
        case dravio::DRAVIO_PIPE_INTERRUPT:
            isochronous_ = 0;
            return 0;
        default:
            return DRAVIOCOM_INVALID_PIPE_TYPE;
        }
    }
    return 0;
}

DWORD CDravioRW::StartReading(LONG size, LONG bufferCount, LONG errorLimit)
{
    return Start(true, size, bufferCount, errorLimit, 0);
}

DWORD CDravioRW::StartWriting(LONG size, LONG bufferCount, LONG errorLimit, LONG keepWriteStatus)
{
    return Start(false, size, bufferCount, errorLimit, keepWriteStatus);
}

DWORD CDravioRW::Start(bool reading, LONG size, LONG bufferCount, LONG errorLimit, LONG keepWriteStatus)
{
    if ((HasThread() && !IsStopRequested()) || IsInHandlerOnThisThread()) {
        return DRAVIOCOM_ALREADY_STARTED;
    }
    WaitThread();

    ResetEvent(dataEvent_);
    {
        com::ScopedLock lock(queueLock_);
        pending_.Clear();
        readDone_.Clear();
        write_.Clear();
        writeStatus_.Clear();
    }
    reading_ = reading ? 1 : 0;
    errorLimit_ = errorLimit;
    if (!reading) {
        keepWriteStatus_ = keepWriteStatus;
    }
    bufferSize_ = static_cast<DWORD>(size);

    if (endpointAddress_ == -1) {
        return kErrorNotBound;
    }
    bool inEndpoint = (endpointAddress_ & 0x80) != 0;
    if (inEndpoint != reading) {
        return DRAVIOCOM_INVALID_PIPE_TYPE;
    }
    DWORD status = LookUpPipe();
    if (status != 0) {
        return status;
    }
    if (maxPacketSize_ == 0) {
        return DRAVIOCOM_INVALID_PIPE_TYPE;
    }
    if (isochronous_) {
        ULONGLONG packets = static_cast<DWORD>(size);
        ULONGLONG header = dravio::IsoHeaderSize(packets);
        ULONGLONG total = packets * maxPacketSize_ + header;
        if (total > 0xFFFFFFFFull) {
            return kErrorOutOfMemory;
        }
        packetsPerBuffer_ = static_cast<DWORD>(packets);
        isoHeaderSize_ = static_cast<DWORD>(header);
        bufferSize_ = static_cast<DWORD>(total);
    }
    if (!pool_.Allocate(bufferSize_, static_cast<DWORD>(bufferCount))) {
        return kErrorOutOfMemory;
    }
    {
        com::ScopedLock lock(queueLock_);
        running_ = true;
    }
    // The thread keeps this object alive until it has ended, so the object's
    // owner may let go of it from inside an event handler.
    if (!StartThread(shared_from_this())) {
        com::ScopedLock lock(queueLock_);
        running_ = false;
        pool_.Free();
        return DRAVIOCOM_START_THREAD_FAILED;
    }
    return 0;
}

void CDravioRW::StopAndWaitUnlessInHandler()
{
    StopThread();
    if (!IsInHandlerOnThisThread()) {
        WaitThread();
    }
}

void CDravioRW::StopHook()
{
    if (!isochronous_ && IsOpen()) {
        AbortPipe();
    }
}

void CDravioRW::ThreadRoutine()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    ResetEvent(dataEvent_);
    if (isochronous_) {
        ResetPipe();
    }
    int errorCount = 0;
    while (!IsStopRequested() && errorCount <= errorLimit_) {
        if (reading_) {
            ReadStep(errorCount);
        } else {
            WriteStep(errorCount);
        }
    }
    TearDownRun();

    if (SUCCEEDED(apartment)) {
        CoUninitialize();
    }
}

DWORD CDravioRW::AwaitTransfer(dravio::CDravioBuffer &buffer)
{
    DWORD status = WaitForCompletion(buffer, INFINITE, StopEvent());
    if (status == dravio::DRAVIO_ERR_ABORTED) {
        CancelIo();
        status = WaitForCompletion(buffer, INFINITE, nullptr);
    }
    return status;
}

void CDravioRW::ReadStep(int &errorCount)
{
    dravio::CDravioBuffer *buffer;
    {
        com::ScopedLock lock(queueLock_);
        while (dravio::CDravioBuffer *free = pool_.Get()) {
            free->bytesToTransfer = bufferSize_;
            if (isochronous_) {
                dravio::WriteIsoReadHeader(free->Buffer(), packetsPerBuffer_, maxPacketSize_);
            }
            Read(*free); // the buffer's status tells how the submission went
            pending_.Append(free);
        }
        buffer = pending_.Pop();
    }
    if (!buffer) {
        HANDLE wake[] = {StopEvent(), dataEvent_};
        WaitForMultipleObjects(2, wake, FALSE, INFINITE);
        return;
    }
    DWORD status = AwaitTransfer(*buffer);
    if (status == 0) {
        errorCount = 0;
    } else if (status != dravio::DRAVIO_ERR_POWERED_DOWN) {
        ++errorCount;
    }
    {
        com::ScopedLock lock(queueLock_);
        readDone_.Append(buffer);
    }
    RaiseEvent(kEventReadDataAvailable);
}

void CDravioRW::WriteStep(int &errorCount)
{
    dravio::CDravioBuffer *buffer;
    {
        com::ScopedLock lock(queueLock_);
        while (dravio::CDravioBuffer *queued = write_.Pop()) {
            Write(*queued);
            pending_.Append(queued);
        }
        buffer = pending_.Pop();
    }
    if (!buffer) {
        HANDLE wake[] = {StopEvent(), dataEvent_};
        WaitForMultipleObjects(2, wake, FALSE, INFINITE);
        return;
    }
    DWORD status = AwaitTransfer(*buffer);
    if (status == 0) {
        errorCount = 0;
    } else if (status != dravio::DRAVIO_ERR_POWERED_DOWN) {
        ++errorCount;
    }
    bool statusKept = false;
    {
        com::ScopedLock lock(queueLock_);
        if (keepWriteStatus_) {
            writeStatus_.Append(buffer);
            statusKept = true;
        } else {
            pool_.Put(buffer);
        }
    }
    RaiseEvent(statusKept ? kEventWriteStatusAvailable : kEventWriteBufferAvailable);
}

// The run's end: from here on the client side sees no worker, and no buffer
// is freed while the driver still owns it.
void CDravioRW::TearDownRun()
{
    BufferQueue submitted;
    {
        com::ScopedLock lock(queueLock_);
        running_ = false;
        for (BufferQueue *queue : {&readDone_, &writeStatus_, &write_}) {
            while (dravio::CDravioBuffer *buffer = queue->Pop()) {
                pool_.Put(buffer);
            }
        }
        submitted = pending_;
        pending_.Clear();
    }
    // A stop may have aborted the pipe just before this thread submitted more,
    // and a run ended by its error limit leaves reads waiting for data: cancel
    // what this thread still has in flight, then wait for each to come back.
    if (!submitted.IsEmpty()) {
        CancelIo();
    }
    while (dravio::CDravioBuffer *buffer = submitted.Pop()) {
        WaitForCompletion(*buffer, INFINITE, nullptr);
        pool_.Put(buffer);
    }
    com::ScopedLock lock(queueLock_);
    pool_.Free();
    pending_.Clear();
    readDone_.Clear();
    write_.Clear();
    writeStatus_.Clear();
}

bool CDravioRW::ClientMayRead() const
{
    return running_ && reading_ && !IsStopRequested();
}

bool CDravioRW::ClientMayWrite() const
{
    return running_ && !reading_ && !IsStopRequested();
}

DWORD CDravioRW::ReadData(void *destination, DWORD &capacity)
{
    com::ScopedLock lock(queueLock_);
    if (!ClientMayRead()) {
        return DRAVIOCOM_READER_NOT_RUNNING;
    }
    if (isochronous_) {
        return DRAVIOCOM_INVALID_PIPE_TYPE;
    }
    dravio::CDravioBuffer *buffer = readDone_.Peek();
    if (!buffer) {
        return DRAVIOCOM_NO_DATA;
    }
    if (buffer->bytesTransferred > capacity) {
        capacity = buffer->bytesTransferred;
        return DRAVIOCOM_BUFFER_TOO_SMALL;
    }
    readDone_.Pop();
    DWORD status = buffer->status;
    if (status == 0) {
        std::memcpy(destination, buffer->Buffer(), buffer->bytesTransferred);
        capacity = buffer->bytesTransferred;
    } else {
        capacity = 0;
    }
    pool_.Put(buffer);
    SetEvent(dataEvent_);
    return status;
}

DWORD CDravioRW::ReadIsoData(void *destination, DWORD &length, LONG *packetStatus, DWORD packetCount)
{
    com::ScopedLock lock(queueLock_);
    if (!ClientMayRead()) {
        return DRAVIOCOM_READER_NOT_RUNNING;
    }
    if (!isochronous_) {
        return DRAVIOCOM_INVALID_PIPE_TYPE;
    }
    if (packetCount != packetsPerBuffer_) {
        return DRAVIOCOM_INVALID_ISO_FORMAT;
    }
    if (static_cast<ULONGLONG>(length) < static_cast<ULONGLONG>(packetsPerBuffer_) * maxPacketSize_) {
        return DRAVIOCOM_BUFFER_TOO_SMALL;
    }
    dravio::CDravioBuffer *buffer = readDone_.Pop();
    if (!buffer) {
        return DRAVIOCOM_NO_DATA;
    }
    DWORD status = buffer->status;
    DWORD copied = 0;
    if (status == 0) {
        const dravio::DRAVIO_ISO_PACKET *packets = IsoPacketsOf(buffer->Buffer());
        auto *out = static_cast<BYTE *>(destination);
        for (DWORD i = 0; i < packetsPerBuffer_; ++i) {
            const dravio::DRAVIO_ISO_PACKET &packet = packets[i];
            if (packet.Status & 0x80000000u) {
                packetStatus[i] = static_cast<LONG>(packet.Status);
                continue;
            }
            // A packet the driver described outside the buffer delivers nothing.
            DWORD received = packet.Length;
            bool fits = received <= maxPacketSize_ &&
                        static_cast<ULONGLONG>(packet.Offset) + received <= buffer->BufferSize();
            if (!fits) {
                received = 0;
            }
            std::memcpy(out + copied, static_cast<const BYTE *>(buffer->Buffer()) + packet.Offset, received);
            copied += received;
            packetStatus[i] = static_cast<LONG>(received);
        }
    }
    length = copied;
    pool_.Put(buffer);
    SetEvent(dataEvent_);
    return status;
}

DWORD CDravioRW::WriteData(const void *source, DWORD &length, DWORD tag)
{
    com::ScopedLock lock(queueLock_);
    if (!ClientMayWrite()) {
        return DRAVIOCOM_WRITER_NOT_RUNNING;
    }
    if (isochronous_) {
        return DRAVIOCOM_INVALID_PIPE_TYPE;
    }
    dravio::CDravioBuffer *buffer = pool_.Get();
    if (!buffer) {
        return DRAVIOCOM_NO_WRITE_BUFFER;
    }
    if (length > bufferSize_) {
        length = bufferSize_;
        pool_.Put(buffer);
        return DRAVIOCOM_BUFFER_TOO_LARGE;
    }
    buffer->userValue = tag;
    buffer->bytesToTransfer = length;
    std::memcpy(buffer->Buffer(), source, length);
    write_.Append(buffer);
    SetEvent(dataEvent_);
    return 0;
}

DWORD CDravioRW::WriteIsoData(const void *source, DWORD length, const LONG *packetLengths, DWORD packetCount,
                              DWORD tag)
{
    com::ScopedLock lock(queueLock_);
    if (!ClientMayWrite()) {
        return DRAVIOCOM_WRITER_NOT_RUNNING;
    }
    if (!isochronous_) {
        return DRAVIOCOM_INVALID_PIPE_TYPE;
    }
    if (packetCount > packetsPerBuffer_) {
        return DRAVIOCOM_INVALID_ISO_FORMAT;
    }
    ULONGLONG total = 0;
    for (DWORD i = 0; i < packetCount; ++i) {
        DWORD packetLength = static_cast<DWORD>(packetLengths[i]);
        if (packetLength > maxPacketSize_) {
            return DRAVIOCOM_INVALID_ISO_FORMAT;
        }
        total += packetLength;
    }
    if (total > length) {
        return DRAVIOCOM_INVALID_ISO_FORMAT;
    }
    dravio::CDravioBuffer *buffer = pool_.Get();
    if (!buffer) {
        return DRAVIOCOM_NO_WRITE_BUFFER;
    }
    if (total == 0) {
        pool_.Put(buffer);
        return DRAVIOCOM_INVALID_ISO_FORMAT;
    }
    buffer->userValue = tag;
    DWORD header = static_cast<DWORD>(dravio::IsoHeaderSize(packetCount));
    dravio::DRAVIO_ISO_HEADER *isoHeader = IsoHeaderOf(buffer->Buffer());
    isoHeader->NumberOfPackets = packetCount;
    isoHeader->Flags = dravio::DRAVIO_ISO_WRITE_FLAGS;
    isoHeader->Reserved1 = 0;
    isoHeader->Reserved2 = 0;
    dravio::DRAVIO_ISO_PACKET *packets = IsoPacketsOf(buffer->Buffer());
    DWORD offset = header;
    for (DWORD i = 0; i < packetCount; ++i) {
        packets[i].Offset = offset;
        packets[i].Length = static_cast<DWORD>(packetLengths[i]);
        packets[i].Status = 0;
        offset += packets[i].Length;
    }
    std::memcpy(static_cast<BYTE *>(buffer->Buffer()) + header, source, static_cast<size_t>(total));
    buffer->bytesToTransfer = header + static_cast<DWORD>(total);
    write_.Append(buffer);
    SetEvent(dataEvent_);
    return 0;
}

DWORD CDravioRW::GetWriteStatus(DWORD &tag)
{
    DWORD status;
    {
        com::ScopedLock lock(queueLock_);
        if (!ClientMayWrite()) {
            return DRAVIOCOM_WRITER_NOT_RUNNING;
        }
        if (isochronous_) {
            return DRAVIOCOM_INVALID_PIPE_TYPE;
        }
        dravio::CDravioBuffer *buffer = writeStatus_.Pop();
        if (!buffer) {
            return DRAVIOCOM_NO_DATA;
        }
        tag = buffer->userValue;
        status = buffer->status;
        pool_.Put(buffer);
    }
    RaiseEvent(kEventWriteBufferAvailable);
    return status;
}

DWORD CDravioRW::GetIsoWriteStatus(DWORD &tag, LONG *packetStatus, DWORD &capacity)
{
    DWORD status;
    {
        com::ScopedLock lock(queueLock_);
        if (!ClientMayWrite()) {
            return DRAVIOCOM_WRITER_NOT_RUNNING;
        }
        if (!isochronous_) {
            return DRAVIOCOM_INVALID_PIPE_TYPE;
        }
        dravio::CDravioBuffer *buffer = writeStatus_.Pop();
        if (!buffer) {
            return DRAVIOCOM_NO_DATA;
        }
        DWORD packetCount = IsoHeaderOf(buffer->Buffer())->NumberOfPackets;
        if (packetCount > packetsPerBuffer_) {
            packetCount = packetsPerBuffer_; // never read past the buffer's own entries
        }
        if (capacity < packetCount) {
            status = 0xFFFFFFFF;
        } else {
            const dravio::DRAVIO_ISO_PACKET *packets = IsoPacketsOf(buffer->Buffer());
            for (DWORD i = 0; i < packetCount; ++i) {
                packetStatus[i] = static_cast<LONG>(packets[i].Status);
            }
            capacity = packetCount;
            status = buffer->status;
        }
        tag = buffer->userValue;
        pool_.Put(buffer);
    }
    RaiseEvent(kEventWriteBufferAvailable);
    return status;
}

void CDravioRW::SetEventCallback(void *context, DravioEventCallback callback)
{
    eventContext_ = context;
    eventCallback_ = callback;
}

void CDravioRW::RaiseEvent(int code)
{
    DravioEventCallback callback = eventCallback_;
    void *context = eventContext_;
    if (!callback || !context || IsStopRequested()) {
        return;
    }
    InterlockedIncrement(&eventDepth_);
    HandlerFrame frame = {this, t_innermostHandler};
    t_innermostHandler = &frame;
    callback(context, code);
    t_innermostHandler = frame.outer;
    InterlockedDecrement(&eventDepth_);
}

bool CDravioRW::IsInHandlerOnThisThread() const
{
    for (const HandlerFrame *frame = t_innermostHandler; frame; frame = frame->outer) {
        if (frame->owner == this) {
            return true;
        }
    }
    return false;
}
