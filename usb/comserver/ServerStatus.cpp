#include "ServerStatus.h"

namespace {

struct StatusRow {
    DWORD code;
    const wchar_t *text;
};

const StatusRow kServerStatusTexts[] = {
    {DRAVIOCOM_NOT_ENUMERATED, L"DravioCOM: Not enumerated. Call EnumerateDevices first."},
    {DRAVIOCOM_TOO_MANY_INTERFACES, L"DravioCOM: AddInterface does not accept further interfaces."},
    {DRAVIOCOM_NO_INTERFACE, L"DravioCOM: No interface. Call AddInterface first."},
    {DRAVIOCOM_START_THREAD_FAILED, L"DravioCOM: Start worker thread failed."},
    {DRAVIOCOM_NO_DATA, L"DravioCOM: No data received."},
    {DRAVIOCOM_BUFFER_TOO_SMALL, L"DravioCOM: Buffer too small."},
    {DRAVIOCOM_ALREADY_STARTED, L"DravioCOM: Reading or Writing has been started already."},
    {DRAVIOCOM_INVALID_PIPE_TYPE, L"DravioCOM: Invalid pipe type."},
    {DRAVIOCOM_NO_WRITE_BUFFER, L"DravioCOM: No write buffer available."},
    {DRAVIOCOM_BUFFER_TOO_LARGE, L"DravioCOM: Buffer too large."},
    {DRAVIOCOM_WRITER_NOT_RUNNING, L"DravioCOM: Write thread not running. Call StartWriting first."},
    {DRAVIOCOM_READER_NOT_RUNNING, L"DravioCOM: Read thread not running. Call StartReading first."},
    {DRAVIOCOM_INVALID_ISO_FORMAT, L"DravioCOM: Invalid ISO buffer format."},
    {DRAVIOCOM_STATUS_ARRAY_TOO_SMALL, L"DravioCOM: Status array too small."},
    {DRAVIOCOM_INVALID_ARRAY, L"DravioCOM: Invalid array parameter."},
    {DRAVIOCOM_ALREADY_OPEN, L"DravioCOM: Device already open."},
    {DRAVIOCOM_ALREADY_CALLED, L"DravioCOM: Function already called."},
};

} // namespace

const wchar_t *ServerStatusText(DWORD status)
{
    for (const StatusRow &row : kServerStatusTexts) {
        if (row.code == status) {
            return row.text;
        }
    }
    return nullptr;
}
