#include "DriverState.h"

#include <algorithm>
#include <cstring>

#include "IsoBuffer.h"

namespace dravio::sim {

namespace {

constexpr uint32_t kStatusCancelled = 0xC0000120;
constexpr size_t kLogCapacity = 8192;

// Bulk data is a stream split at the reader's length: what does not fit
// stays for the next read.
uint32_t TakeData(Request &read, std::deque<std::vector<uint8_t>> &queue)
{
    std::vector<uint8_t> &message = queue.front();
    const uint32_t count = std::min<uint32_t>(read.length, uint32_t(message.size()));
    std::memcpy(read.buffer, message.data(), count);
    if (count == message.size())
        queue.pop_front();
    else
        message.erase(message.begin(), message.begin() + count);
    return count;
}

} // namespace

std::wstring LowerCase(std::wstring_view text)
{
    std::wstring lower(text);
    for (wchar_t &c : lower)
        c = towlower(c);
    return lower;
}

uint32_t CompletionStatusFor(uint32_t error)
{
    if (error == 0)
        return 0;
    if (error == ERROR_OPERATION_ABORTED)
        return kStatusCancelled;
    if (error & 0x20000000)   // the driver's own codes pass through unchanged
        return error;
    if (error <= 0xFFFF)      // a Windows error wrapped as a status
        return 0xC0070000 | error;
    return error;
}

// What the caller of a request waits on: its OVERLAPPED's event (the low bit
// only keeps the completion off a port) or, when it names none, the handle.
HANDLE WaitableOf(const Request &request)
{
    if (HANDLE event =
            reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(request.overlapped->hEvent) & ~ULONG_PTR(1)))
        return event;
    return request.handle->closed ? nullptr : request.handle->value;
}

std::shared_ptr<SimDevice> DriverState::Device(uint32_t number) const
{
    auto it = devices.find(number);
    return it == devices.end() ? nullptr : it->second;
}

std::shared_ptr<SimHandle> DriverState::Handle(HANDLE value) const
{
    auto it = handles.find(value);
    return it == handles.end() ? nullptr : it->second;
}

LogEntry &DriverState::Log(LogEvent event, const SimDevice *device, const SimHandle *handle)
{
    if (log.size() == kLogCapacity)
        log.pop_front();
    LogEntry &entry = log.emplace_back();
    entry = {};
    entry.sequence = nextLogSequence++;
    entry.event = event;
    entry.device = device ? device->number : 0;
    entry.handle = handle ? handle->id : 0;
    entry.thread = GetCurrentThreadId();
    return entry;
}

void DriverState::SetLogText(LogEntry &entry, std::wstring_view text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), entry.text,
                                           sizeof entry.text - 1, nullptr, nullptr);
    entry.text[std::max(length, 0)] = 0;
}

void DriverState::Complete(Request &request, uint32_t status, uint32_t bytes)
{
    SimDevice &device = *request.handle->device;
    if (request.kind != RequestKind::Control) {
        if (Pipe *pipe = device.FindPipe(request.endpoint)) {
            if (status == 0) {
                pipe->bytes += bytes;
                ++pipe->succeeded;
            } else {
                ++pipe->failed;
            }
        }
    } else if (status == 0 && !request.output.empty()) {
        std::memcpy(request.buffer, request.output.data(), request.output.size());
    }
    request.completed = true;
    request.status = status;
    request.bytesReturned = bytes;
    LogEntry &entry = Log(LogEvent::Complete, &device, request.handle.get());
    entry.request = request.id;
    entry.code = request.code;
    entry.endpoint = request.endpoint;
    entry.status = status;
    entry.length = bytes;

    OVERLAPPED *overlapped = request.overlapped;
    overlapped->InternalHigh = bytes;
    MemoryBarrier();
    overlapped->Internal = CompletionStatusFor(status);
    // One signal, on the one object the caller waits on.
    if (HANDLE waitable = WaitableOf(request)) {
        SetEvent(waitable);
        ++eventOperations;
    }
}

void DriverState::ArmCompletion(const Request &request)
{
    if (HANDLE waitable = WaitableOf(request)) {
        ResetEvent(waitable);
        ++eventOperations;
    }
}

void DriverState::CompleteLater(std::shared_ptr<Request> request, uint32_t status, uint32_t delay)
{
    worker.Post(delay, [this, request = std::move(request), status] {
        std::lock_guard guard(lock);
        Complete(*request, status, 0);
    });
}

void DriverState::ServeLater(std::shared_ptr<Request> request)
{
    worker.Post(0, [this, request = std::move(request)] { owner.Serve(request); });
}

void DriverState::Pump(SimDevice &device, uint8_t endpoint)
{
    EndpointBehaviour &behaviour = device.Endpoint(endpoint);
    if (behaviour.silent)
        return;
    for (auto it = device.pending.begin(); it != device.pending.end();) {
        Request &read = **it;
        if (read.kind != RequestKind::Read || read.endpoint != endpoint) {
            ++it;
            continue;
        }
        if (!read.isochronous && behaviour.queue.empty())
            return;
        std::shared_ptr<Request> request = *it;
        it = device.pending.erase(it);
        if (read.isochronous) {
            // The caller may have touched the header while the read was pending.
            if (uint32_t status = CheckIsoBuffer(read.buffer, read.length, read.maxPacketSize)) {
                Complete(read, status, 0);
                continue;
            }
            FillIsoRead(read.buffer, behaviour.queue);
            Complete(read, 0, read.length);
        } else {
            Complete(read, 0, TakeData(read, behaviour.queue));
        }
    }
}

uint32_t DriverState::AcceptWrite(std::unique_lock<std::mutex> &guard, SimDevice &device, const Request &request)
{
    std::vector<std::span<const uint8_t>> messages;
    if (request.isochronous)
        messages = IsoPackets(request.buffer);
    else
        messages.emplace_back(request.buffer, request.length);

    const EndpointBehaviour &behaviour = device.Endpoint(request.endpoint);
    if (WriteHandler handler = behaviour.handler) {
        void *context = behaviour.handlerContext;
        const uint32_t number = device.number;
        guard.unlock();
        uint32_t status = 0;
        for (auto message : messages) {
            status = handler(context, owner, number, request.endpoint, message.data(), uint32_t(message.size()));
            if (status != 0)
                break;
        }
        guard.lock();
        return status;
    }
    if (const uint8_t target = behaviour.loopbackTo) {
        for (auto message : messages)
            device.Endpoint(target).queue.emplace_back(message.begin(), message.end());
        Pump(device, target);
    }
    return 0;
}

uint32_t DriverState::AskForData(std::unique_lock<std::mutex> &guard, SimDevice &device, uint8_t endpoint)
{
    const EndpointBehaviour &behaviour = device.Endpoint(endpoint);
    const ReadHandler handler = behaviour.readHandler;
    if (!handler)
        return 0;
    void *context = behaviour.readHandlerContext;
    const uint32_t number = device.number;
    guard.unlock();
    const uint32_t status = handler(context, owner, number, endpoint);
    guard.lock();
    return status;
}

} // namespace dravio::sim
