// Opening and closing device handles, control requests, pipe transfers and
// their cancellation: the driver's side of the I/O the caller submits.
#include <algorithm>
#include <cstring>
#include <cwctype>

#include "ControlDispatch.h"
#include "DriverState.h"
#include "IsoBuffer.h"
#include "SimDriver.h"

namespace dravio::sim {

namespace {

constexpr uint32_t kStatusPending = 0x103;
constexpr std::wstring_view kDeviceNamePrefix = L"\\\\.\\Dravio_Device";

HANDLE EventOf(const OVERLAPPED *overlapped)
{
    return reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(overlapped->hEvent) & ~ULONG_PTR(1));
}

// "\\.\Dravio_Device<n>", the name the driver gives each of its devices.
bool ParseDeviceName(std::wstring_view path, uint32_t *number)
{
    if (path.size() <= kDeviceNamePrefix.size() || path.size() > kDeviceNamePrefix.size() + 9 ||
        LowerCase(path.substr(0, kDeviceNamePrefix.size())) != LowerCase(kDeviceNamePrefix))
        return false;
    uint32_t value = 0;
    for (wchar_t c : path.substr(kDeviceNamePrefix.size())) {
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + uint32_t(c - L'0');
    }
    *number = value;
    return true;
}

// Every submission starts pending. Events are left alone here: a request that
// completes at once signals its caller's, and one that pends resets it first.
void BeginSubmission(OVERLAPPED *overlapped)
{
    overlapped->Internal = kStatusPending;
    overlapped->InternalHigh = 0;
}

// A request refused when submitted: the call fails, nothing is signalled.
BOOL FailAtSubmission(DriverState &s, Request &request, uint32_t status)
{
    request.overlapped->Internal = CompletionStatusFor(status);
    LogEntry &entry = s.Log(LogEvent::Complete, request.handle->device.get(), request.handle.get());
    entry.request = request.id;
    entry.code = request.code;
    entry.endpoint = request.endpoint;
    entry.status = status;
    SetLastError(status);
    return FALSE;
}

BOOL Pend(DriverState &s, const std::shared_ptr<Request> &request, bool serve, bool arm = true)
{
    if (arm)
        s.ArmCompletion(*request);
    request->handle->device->pending.push_back(request);
    if (serve)
        s.ServeLater(request);
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
}

// The call's result for a request that completed before the call returned.
BOOL Completed(const Request &request, LPDWORD count)
{
    if (request.status != 0) {
        SetLastError(request.status);
        return FALSE;
    }
    if (count)
        *count = request.bytesReturned;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// On a handle opened without FILE_FLAG_OVERLAPPED the call waits for its request.
template <class Submit>
BOOL WaitForRequest(HANDLE handle, LPOVERLAPPED callerOverlapped, LPDWORD count, Submit submit)
{
    OVERLAPPED own{};
    own.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!own.hEvent)
        return FALSE;
    DWORD done = 0;
    BOOL ok = submit(&own, &done);
    if (ok || GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(handle, &own, &done, TRUE);
    const DWORD error = GetLastError();
    ::CloseHandle(own.hEvent);
    if (count)
        *count = done;
    if (callerOverlapped) {
        callerOverlapped->Internal = own.Internal;
        callerOverlapped->InternalHigh = own.InternalHigh;
        if (HANDLE event = EventOf(callerOverlapped))
            SetEvent(event);
    }
    SetLastError(error);
    return ok;
}

std::shared_ptr<Request> NewRequest(DriverState &s, const std::shared_ptr<SimHandle> &handle, RequestKind kind,
                                    void *buffer, DWORD length, OVERLAPPED *overlapped)
{
    auto request = std::make_shared<Request>();
    request->id = s.nextRequestId++;
    request->kind = kind;
    request->handle = handle;
    request->thread = GetCurrentThreadId();
    request->buffer = static_cast<uint8_t *>(buffer);
    request->length = length;
    request->overlapped = overlapped;
    return request;
}

BOOL SubmitControl(DriverState &s, const std::shared_ptr<SimHandle> &handle, DWORD code, LPVOID input,
                   DWORD inputLength, LPVOID output, DWORD outputLength, LPDWORD returned, OVERLAPPED *overlapped)
{
    std::unique_lock guard(s.lock);
    if (handle->closed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BeginSubmission(overlapped);
    if (returned)
        *returned = 0;
    SimDevice &device = *handle->device;
    auto request = NewRequest(s, handle, RequestKind::Control, output, outputLength, overlapped);
    request->code = code;
    LogEntry &entry = s.Log(LogEvent::Control, &device, handle.get());
    entry.request = request->id;
    entry.code = code;
    entry.length = inputLength;
    if (input)
        std::memcpy(entry.input, input, std::min<size_t>(inputLength, sizeof entry.input));

    if (!device.present)
        return FailAtSubmission(s, *request, wire::status::kDeviceRemoved);
    if ((!input && inputLength) || (!output && outputLength))
        return FailAtSubmission(s, *request, ERROR_NOACCESS);
    request->decided = true;
    if (auto failure = SimDevice::TakeFailure(device.controlFailures, code)) {
        request->status = *failure;
        return device.deferred ? Pend(s, request, true) : FailAtSubmission(s, *request, *failure);
    }

    const auto *in = static_cast<const uint8_t *>(input);
    const auto *out = static_cast<const uint8_t *>(output);
    ControlOutcome outcome =
        DispatchControl({device, handle->id, code, {in, inputLength}, outputLength, {out, outputLength}});
    if (outcome.abort == ControlOutcome::Abort::Pipe)
        s.EndPending(device, [&](const Request &r) {
            return r.kind != RequestKind::Control && r.endpoint == outcome.abortEndpoint;
        }, outcome.abortStatus, false);
    else if (outcome.abort == ControlOutcome::Abort::Device)
        s.EndPending(device, [](const Request &r) { return r.kind != RequestKind::Control; }, outcome.abortStatus,
                     false);
    if (outcome.deviceRequest && outcome.status == 0) {
        const ControlHandler handler = device.controlHandler;
        void *context = device.controlContext;
        guard.unlock();
        AnswerDeviceRequest(outcome, handler, context);
        guard.lock();
    }
    request->status = outcome.status;
    request->output = std::move(outcome.output);
    request->bytesReturned = outcome.bytesReturned;

    if (device.deferred)
        return Pend(s, request, true);
    if (request->status != 0)
        return FailAtSubmission(s, *request, request->status);
    s.Complete(*request, 0, request->bytesReturned);
    return Completed(*request, returned);
}

BOOL SubmitTransfer(DriverState &s, const std::shared_ptr<SimHandle> &handle, bool write, void *buffer, DWORD length,
                    LPDWORD transferred, OVERLAPPED *overlapped)
{
    std::unique_lock guard(s.lock);
    if (handle->closed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BeginSubmission(overlapped);
    if (transferred)
        *transferred = 0;
    SimDevice &device = *handle->device;
    auto request = NewRequest(s, handle, write ? RequestKind::Write : RequestKind::Read, buffer, length, overlapped);
    const Pipe *pipe = device.present ? device.BoundPipe(handle->id) : nullptr;
    if (pipe) {
        request->endpoint = pipe->endpoint.address;
        request->isochronous = pipe->endpoint.type == wire::kIsochronousPipe;
        request->maxPacketSize = pipe->endpoint.maxPacketSize;
    }
    LogEntry &entry = s.Log(write ? LogEvent::Write : LogEvent::Read, &device, handle.get());
    entry.request = request->id;
    entry.endpoint = request->endpoint;
    entry.length = length;

    uint32_t refusal = 0;
    if (!device.present)
        refusal = wire::status::kDeviceRemoved;
    else if (device.powerState != 0)
        refusal = wire::status::kDevicePoweredDown;
    else if (!pipe)
        refusal = wire::status::kNotBound;
    else if (pipe->IsIn() == write)
        refusal = wire::status::kInvalidDirection;
    else if (pipe->endpoint.type == wire::kControlPipe)
        refusal = wire::status::kInvalidType;
    else if (!buffer && length)
        refusal = ERROR_NOACCESS;
    else if (request->isochronous)
        refusal = CheckIsoBuffer(request->buffer, length, pipe->endpoint.maxPacketSize);
    if (refusal)
        return FailAtSubmission(s, *request, refusal);

    const uint8_t endpoint = request->endpoint;
    if (auto failure = SimDevice::TakeFailure(device.transferFailures, endpoint)) {
        request->decided = true;
        request->status = *failure;
        return device.deferred ? Pend(s, request, true) : FailAtSubmission(s, *request, *failure);
    }
    if (device.deferred)
        return Pend(s, request, true);

    EndpointBehaviour &behaviour = device.Endpoint(endpoint);
    if (!write && !request->isochronous && !behaviour.silent && !device.HasPending(endpoint) &&
        behaviour.queue.empty()) {
        // Nothing waiting: the device may answer now, or know that nothing is coming.
        const uint32_t status = s.AskForData(guard, device, endpoint);
        if (handle->closed)
            return FailAtSubmission(s, *request, ERROR_OPERATION_ABORTED);
        if (!device.present)
            return FailAtSubmission(s, *request, wire::status::kDeviceRemoved);
        if (status != 0 && behaviour.queue.empty() && !device.HasPending(endpoint))
            return FailAtSubmission(s, *request, status);
    }
    if (!write) {
        const bool ready = !behaviour.silent && !device.HasPending(endpoint) &&
                           (request->isochronous || !behaviour.queue.empty());
        // A read the waiting data completes at once needs no reset of its event.
        Pend(s, request, false, !ready);
        if (!ready)
            return FALSE;
        s.Pump(device, endpoint);
        return Completed(*request, transferred);
    }
    if (behaviour.silent || device.HasPending(endpoint))
        return Pend(s, request, !behaviour.silent);
    const uint32_t status = s.AcceptWrite(guard, device, *request);
    if (status == 0 && request->isochronous)
        MarkIsoPacketsSent(request->buffer);
    s.Complete(*request, status, status ? 0 : length);
    return Completed(*request, transferred);
}

} // namespace

std::optional<HANDLE> SimDriver::OpenPath(std::wstring_view path, DWORD flags)
{
    DriverState &s = *state_;
    uint32_t number = 0;
    const bool byName = ParseDeviceName(path, &number);
    std::lock_guard guard(s.lock);
    std::shared_ptr<SimDevice> device;
    if (byName) {
        device = s.Device(number);
    } else {
        const std::wstring lower = LowerCase(path);
        for (const auto &[n, d] : s.devices)
            if (LowerCase(d->interfacePath) == lower)
                device = d;
        if (!device && !s.retiredPaths.count(lower))
            return std::nullopt;
    }
    if (!device) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE value = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!value)
        return INVALID_HANDLE_VALUE;
    auto handle = std::make_shared<SimHandle>(
        SimHandle{value, s.nextHandleId++, device, (flags & FILE_FLAG_OVERLAPPED) != 0});
    s.handles[value] = handle;
    if (device->openHandles++ == 0)
        device->openPeriod = s.nextOpenPeriod++;
    DriverState::SetLogText(s.Log(LogEvent::Open, device.get(), handle.get()), path);
    SetLastError(ERROR_SUCCESS);
    return value;
}

std::optional<BOOL> SimDriver::Close(HANDLE value)
{
    DriverState &s = *state_;
    {
        std::lock_guard guard(s.lock);
        auto handle = s.Handle(value);
        if (!handle)
            return std::nullopt;
        s.handles.erase(value);
        handle->closed = true;
        SimDevice &device = *handle->device;
        if (Pipe *pipe = device.BoundPipe(handle->id))
            pipe->boundHandle = 0;
        s.EndPending(device, [&](const Request &r) { return r.handle == handle; }, ERROR_OPERATION_ABORTED, true);
        if (--device.openHandles == 0)
            device.openPeriod = 0;
        s.Log(LogEvent::Close, &device, handle.get());
    }
    ::CloseHandle(value);
    return TRUE;
}

std::optional<BOOL> SimDriver::Control(HANDLE value, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                                       DWORD outputLength, LPDWORD returned, LPOVERLAPPED overlapped)
{
    std::shared_ptr<SimHandle> handle;
    {
        std::lock_guard guard(state_->lock);
        handle = state_->Handle(value);
    }
    if (!handle)
        return std::nullopt;
    auto submit = [&](OVERLAPPED *o, LPDWORD count) {
        return SubmitControl(*state_, handle, code, input, inputLength, output, outputLength, count, o);
    };
    if (!handle->overlapped)
        return WaitForRequest(value, overlapped, returned, submit);
    if (!overlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return submit(overlapped, returned);
}

std::optional<BOOL> SimDriver::Transfer(HANDLE value, bool write, void *buffer, DWORD length, LPDWORD transferred,
                                        LPOVERLAPPED overlapped)
{
    std::shared_ptr<SimHandle> handle;
    {
        std::lock_guard guard(state_->lock);
        handle = state_->Handle(value);
    }
    if (!handle)
        return std::nullopt;
    auto submit = [&](OVERLAPPED *o, LPDWORD count) {
        return SubmitTransfer(*state_, handle, write, buffer, length, count, o);
    };
    if (!handle->overlapped)
        return WaitForRequest(value, overlapped, transferred, submit);
    if (!overlapped) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return submit(overlapped, transferred);
}

std::optional<BOOL> SimDriver::Cancel(HANDLE value)
{
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    auto handle = s.Handle(value);
    if (!handle)
        return std::nullopt;
    const DWORD thread = GetCurrentThreadId();
    uint32_t cancelled = 0;
    s.EndPending(*handle->device, [&](const Request &r) {
        const bool mine = r.handle == handle && r.thread == thread;
        cancelled += mine;
        return mine;
    }, ERROR_OPERATION_ABORTED, true);
    s.Log(LogEvent::Cancel, handle->device.get(), handle.get()).length = cancelled;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

void SimDriver::Serve(const std::shared_ptr<Request> &request)
{
    DriverState &s = *state_;
    std::unique_lock guard(s.lock);
    SimDevice &device = *request->handle->device;
    auto it = std::find(device.pending.begin(), device.pending.end(), request);
    if (it == device.pending.end())
        return;   // cancelled or ended meanwhile
    if (request->decided) {
        device.pending.erase(it);
        s.Complete(*request, request->status, request->status ? 0 : request->bytesReturned);
        return;
    }
    if (request->kind == RequestKind::Read) {
        s.Pump(device, request->endpoint);
        return;
    }
    if (device.Endpoint(request->endpoint).silent)
        return;
    device.pending.erase(it);
    const uint32_t status = s.AcceptWrite(guard, device, *request);
    if (status == 0 && request->isochronous)
        MarkIsoPacketsSent(request->buffer);
    s.Complete(*request, status, status ? 0 : request->length);
}

} // namespace dravio::sim
