#include "DravioThread.h"

namespace dravio {

void CDravioWriteThread::RunThread()
{
    if (Pool().GetFreeCount() == 0)
        return;
    ClearPending();
    int errorCount = 0;
    bool lastFilled = false;
    while (!lastFilled && !IsStopping() && errorCount <= ErrorLimit()) {
        while (CDravioBuffer *buffer = Pool().Get()) {
            FillBuffer(*buffer);
            if (buffer->lastBuffer) {
                // The stream ends here: what is in flight is still waited for.
                Pool().Put(buffer);
                lastFilled = true;
                break;
            }
            Write(*buffer);
            AppendPending(buffer);
        }
        if (lastFilled)
            break;
        CDravioBuffer *oldest = PendingHead();
        if (!oldest)
            break;
        WaitAndCount(*oldest, errorCount);
        PopPending();
        Pool().Put(oldest);
    }
    DrainPending();
}

} // namespace dravio
