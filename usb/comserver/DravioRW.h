// The device, the bound pipe and the worker thread of one COM object. For
// reading the worker keeps every free buffer of its pool submitted and hands
// completions to the client through a queue; for writing it submits what the
// client queued and reports each completion. Progress is told through events.
#pragma once

#include "BufferQueue.h"
#include "DravioEvents.h"
#include "ThreadBase.h"

#include "DravioBufferPool.h"
#include "DravioPipe.h"

#include <com/Lock.h>

#include <memory>

class CDravioRW : public dravio::CDravioPipe, public CThreadBase, public std::enable_shared_from_this<CDravioRW> {
public:
    CDravioRW();
    ~CDravioRW() override;

    // State kept for the COM object.
    bool IsOpenFlag() const { return openFlag_ != 0; }
    void SetOpenFlag(bool open) { openFlag_ = open ? 1 : 0; }
    int DeviceNumber() const { return deviceNumber_; }
    void SetDeviceNumber(int number) { deviceNumber_ = number; }
    int EndpointAddress() const { return endpointAddress_; }
    void SetEndpointAddress(int address) { endpointAddress_ = address; }
    dravio::DRAVIO_CONFIGURATION_REQUEST &Configuration() { return configuration_; }
    bool IsIsochronous() const { return isochronous_ != 0; }
    DWORD GetMaxPacketSize() const { return maxPacketSize_; }

    // Finds the bound endpoint in the configuration information and takes its
    // maximum packet size and isochronous flag.
    DWORD LookUpPipe();

    // Worker runs. Stopping aborts the current transfers and does not wait.
    DWORD StartReading(LONG size, LONG bufferCount, LONG errorLimit);
    DWORD StartWriting(LONG size, LONG bufferCount, LONG errorLimit, LONG keepWriteStatus);
    bool IsReading() const { return reading_ != 0; }
    // Stops the worker and waits for its end, unless this thread is inside one
    // of the worker's event handlers or is the worker itself.
    void StopAndWaitUnlessInHandler();

    // Client side of the queues.
    DWORD ReadData(void *destination, DWORD &capacity);
    DWORD ReadIsoData(void *destination, DWORD &length, LONG *packetStatus, DWORD packetCount);
    DWORD WriteData(const void *source, DWORD &length, DWORD tag);
    DWORD WriteIsoData(const void *source, DWORD length, const LONG *packetLengths, DWORD packetCount, DWORD tag);
    DWORD GetWriteStatus(DWORD &tag);
    DWORD GetIsoWriteStatus(DWORD &tag, LONG *packetStatus, DWORD &capacity);

    // Events: the callback runs on the thread that raises the event.
    void SetEventCallback(void *context, DravioEventCallback callback);
    void RaiseEvent(int code);
    // True while this thread runs one of this object's event handlers.
    bool IsInHandlerOnThisThread() const;

protected:
    void StopHook() override;
    void ThreadRoutine() override;

private:
    DWORD Start(bool reading, LONG size, LONG bufferCount, LONG errorLimit, LONG keepWriteStatus);
    void ReadStep(int &errorCount);
    void WriteStep(int &errorCount);
    DWORD AwaitTransfer(dravio::CDravioBuffer &buffer);
    void TearDownRun();
    bool ClientMayRead() const;  // under the queue lock
    bool ClientMayWrite() const; // under the queue lock

    BYTE openFlag_ = 0;
    volatile BYTE reading_ = 0;
    BYTE isochronous_ = 0;
    dravio::DRAVIO_CONFIGURATION_REQUEST configuration_{};
    int deviceNumber_ = -1;
    int endpointAddress_ = -1;
    void *volatile eventContext_ = nullptr;
    volatile DravioEventCallback eventCallback_ = nullptr;
    volatile LONG eventDepth_ = 0;
    LONG errorLimit_ = 0;
    DWORD bufferSize_ = 0;
    DWORD maxPacketSize_ = 0;
    LONG keepWriteStatus_ = 0;
    DWORD packetsPerBuffer_ = 0;
    DWORD isoHeaderSize_ = 0;
    dravio::CDravioBufferPool pool_;
    com::CriticalSection queueLock_;
    HANDLE dataEvent_ = nullptr;
    bool running_ = false; // a run's pool and queues exist; guarded by the queue lock
    BufferQueue pending_;
    BufferQueue readDone_;
    BufferQueue write_;
    BufferQueue writeStatus_;
};
