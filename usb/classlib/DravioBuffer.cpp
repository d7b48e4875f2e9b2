#include "DravioBuffer.h"

#include <new>

namespace dravio {

CDravioBuffer::CDravioBuffer()
{
    MakeEvent();
}

CDravioBuffer::CDravioBuffer(void *data, DWORD size)
{
    MakeEvent();
    Attach(data, size);
}

CDravioBuffer::CDravioBuffer(DWORD size)
{
    MakeEvent();
    if (size != 0) {
        ownedData_.reset(new (std::nothrow) BYTE[size]);
        if (ownedData_)
            Attach(ownedData_.get(), size);
    }
}

CDravioBuffer::~CDravioBuffer() = default;

void CDravioBuffer::MakeEvent()
{
    // Submitting resets the event either way; the narrow build's one wait per
    // transfer consumes the completion.
#ifdef UNICODE
    constexpr bool manualReset = true;
#else
    constexpr bool manualReset = false;
#endif
    event_.Create(manualReset);
    overlapped_.hEvent = event_.Get();
}

void CDravioBuffer::Attach(void *data, DWORD size)
{
    data_ = data;
    size_ = data ? size : 0;
}

} // namespace dravio
