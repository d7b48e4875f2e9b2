#include "DravioThread.h"

namespace dravio {

void CDravioReadThread::RunThread()
{
    if (Pool().GetFreeCount() == 0)
        return;
    ClearPending();
    int errorCount = 0;
    while (!IsStopping()) {
        if (errorCount > ErrorLimit())
            break;
        // Keep every free buffer submitted; an empty or last fill pauses submitting until the next pass.
        while (CDravioBuffer *buffer = Pool().Get()) {
            FillBuffer(*buffer);
            if (buffer->lastBuffer || buffer->bytesToTransfer == 0) {
                Pool().Put(buffer);
                break;
            }
            Read(*buffer);
            AppendPending(buffer);
        }
        CDravioBuffer *oldest = PendingHead();
        if (!oldest)
            break;
        WaitAndCount(*oldest, errorCount);
        PopPending();
        HandleReceivedData(*oldest);
        Pool().Put(oldest);
    }
    DrainPending();
}

} // namespace dravio
