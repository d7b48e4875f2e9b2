#include "parcels/MsiUIHandlerProxy.h"

#include <climits>
#include <cwchar>
#include <vector>

#include "automation/Interfaces.h"
#include "kr/trace_log.h"
#include "parcels/MsiMessageText.h"

#define MSIUI_SOURCE TraceSource{L"MsiUIHandlerProxy", __LINE__}

namespace {

// All message types from fatal exit to common data, plus restart-manager files in use.
constexpr DWORD kMessageFilter = 0x2004FFF;
constexpr INT kUILevelFull = 5;            // INSTALLUILEVEL_FULL
constexpr INT kUILevelNone = 2;            // INSTALLUILEVEL_NONE
constexpr INT kUILevelNoneSourceRes = 0x102; // INSTALLUILEVEL_NONE | INSTALLUILEVEL_SOURCERESONLY
constexpr INT kDefaultInstallLevel = 0;    // INSTALLLEVEL_DEFAULT
constexpr INT kDefaultInstallState = 5;    // INSTALLSTATE_DEFAULT
constexpr INT kDefaultInstallType = 0;     // INSTALLTYPE_DEFAULT
// Operation kinds.
constexpr int kInstallKind = 1;
constexpr int kModifyKind = 2;
constexpr DWORD kFormatBuffer = 2048;
constexpr DWORD kFieldBuffer = 260;

constexpr UINT kFatalExit = 0x00;
constexpr UINT kError = 0x01;
constexpr UINT kWarning = 0x02;
constexpr UINT kUser = 0x03;
constexpr UINT kInfo = 0x04;
constexpr UINT kFilesInUse = 0x05;
constexpr UINT kResolveSource = 0x06;
constexpr UINT kOutOfDiskSpace = 0x07;
constexpr UINT kActionStart = 0x08;
constexpr UINT kActionData = 0x09;
constexpr UINT kProgress = 0x0A;
constexpr UINT kCommonData = 0x0B;
constexpr UINT kRestartManagerFilesInUse = 0x19;

// IDOK, IDCANCEL
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;

int Number(const _stringx& text)
{
    return static_cast<int>(std::wcstol(text.c_str(), nullptr, 10));
}

int Clamped(long long value)
{
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// The formatted text of a record; empty when it cannot be formatted.
_stringx FormatRecord(const MsiFunctions& msi, MSIHANDLE_VALUE record)
{
    if (!msi.FormatRecordW)
        return _stringx();
    std::vector<wchar_t> buffer(kFormatBuffer + 1);
    DWORD size = kFormatBuffer;
    UINT result = msi.FormatRecordW(0, record, buffer.data(), &size);
    if (result == ERROR_MORE_DATA || result == ERROR_BUFFER_OVERFLOW) {
        buffer.assign(static_cast<size_t>(size) + 2, L'\0');
        size += 1;
        result = msi.FormatRecordW(0, record, buffer.data(), &size);
    }
    if (result != ERROR_SUCCESS)
        return _stringx();
    buffer.back() = L'\0';
    return _stringx(buffer.data());
}

} // namespace

CMsiUIHandlerProxy::CMsiUIHandlerProxy() noexcept : m_msi(&SystemMsiFunctions()) {}

CMsiUIHandlerProxy::~CMsiUIHandlerProxy() = default;

UINT CMsiUIHandlerProxy::Install(const _stringx& target, const _stringx& commandLine, int kind, int uiType,
                                 bool patch, const _stringx& logFile, DWORD logMode)
{
    const MsiFunctions& msi = *m_msi;
    INT level = kUILevelFull;
    switch (uiType) {
    case eputHide:
        level = kUILevelNone;
        break;
    case eputCaptureFull:
        m_forwardActionText = false;
        level = kUILevelNoneSourceRes;
        break;
    case eputCaptureFullVerbose:
        level = kUILevelNoneSourceRes;
        break;
    default:
        break;
    }
    if (msi.SetInternalUI)
        msi.SetInternalUI(level, nullptr);

    if (!msi.SetExternalUIRecord) {
        TraceFormat(MSIUI_SOURCE, L"Could not obtain function proc address for MsiSetExternalUIRecord from msi.dll");
        return ERROR_PROC_NOT_FOUND;
    }
    MsiRecordHandler previous = nullptr;
    msi.SetExternalUIRecord(&CMsiUIHandlerProxy::HandleRecord, kMessageFilter, this, &previous);

    const bool logging = !logFile.empty() && msi.EnableLogW;
    if (logging)
        msi.EnableLogW(logMode & 0xFFFFFF, logFile.c_str(), logMode >> 24);

    UINT result = ERROR_PROC_NOT_FOUND;
    if (patch) {
        // Applying is all a patch can do here: its removal or repair is no
        // call of this road, and reporting success for it would hide that
        // nothing ran.
        if (kind == kInstallKind || kind == kModifyKind) {
            if (msi.ApplyPatchW)
                result = msi.ApplyPatchW(target.c_str(), nullptr, kDefaultInstallType, commandLine.c_str());
        } else {
            result = ERROR_NOT_SUPPORTED;
        }
    } else if (kind == kInstallKind) {
        if (msi.InstallProductW)
            result = msi.InstallProductW(target.c_str(), commandLine.c_str());
    } else if (msi.ConfigureProductExW) {
        result = msi.ConfigureProductExW(target.c_str(), kDefaultInstallLevel, kDefaultInstallState,
                                         commandLine.c_str());
    }

    if (logging)
        msi.EnableLogW(0, nullptr, 0);
    msi.SetExternalUIRecord(previous, 0, nullptr, nullptr);
    return result;
}

INT WINAPI CMsiUIHandlerProxy::HandleRecord(LPVOID context, UINT messageType, MSIHANDLE_VALUE record)
{
    auto* self = static_cast<CMsiUIHandlerProxy*>(context);
    if (!self)
        return 0;
    // Called from inside msi.dll: nothing may unwind through its frames, or
    // Install would be left without putting the previous handler back. A
    // message that cannot be handled is left to the installer.
    try {
        return self->HandleRecordText(messageType, record);
    } catch (...) {
        return 0;
    }
}

int CMsiUIHandlerProxy::HandleRecordText(UINT messageType, MSIHANDLE_VALUE record)
{
    const MsiFunctions& msi = Msi();
    const UINT kind = messageType >> 24;
    if ((kind == kFilesInUse || kind == kRestartManagerFilesInUse) && msi.RecordGetStringW && msi.RecordSetStringW) {
        // Without its template the record formats as "1: ... 2: ...", which
        // the files-in-use list is read from.
        wchar_t field[kFieldBuffer] = {};
        DWORD size = kFieldBuffer;
        const UINT read = msi.RecordGetStringW(record, 0, field, &size);
        if ((read == ERROR_SUCCESS && field[0] != L'\0') || read == ERROR_MORE_DATA)
            msi.RecordSetStringW(record, 0, L"");
    }
    return HandleMessage(messageType, FormatRecord(msi, record));
}

int CMsiUIHandlerProxy::HandleMessage(UINT messageType, const _stringx& text)
{
    if (text.empty())
        return 0;
    int answer = kAnswerOk;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    bool cancelled = false;
    const UINT kind = messageType >> 24;
    switch (kind) {
    case kFatalExit:
    case kError:
    case kWarning:
    case kUser:
        OnError(text, static_cast<int>(messageType & 0xFFFFFF), &answer);
        break;
    case kInfo:
        break;
    case kFilesInUse:
    case kRestartManagerFilesInUse:
        OnFilesInUse(text, &answer, kind == kRestartManagerFilesInUse ? -1 : 0);
        break;
    case kResolveSource:
    case kOutOfDiskSpace:
        answer = 0;
        break;
    case kActionStart: {
        const size_t stop = text.find(L". ");
        if (stop != _stringx::npos) {
            OnProgress(text.substr(stop + 2), 0, 0, epfMessageValid, &cancel);
            cancelled = cancelled || cancel == VARIANT_TRUE;
        }
        m_stepping = false;
        break;
    }
    case kActionData:
        if (m_total == 0)
            break;
        if (m_forwardActionText) {
            OnProgress(text, 0, 0, epfMessageValid, &cancel);
            cancelled = cancelled || cancel == VARIANT_TRUE;
        }
        if (m_stepping) {
            m_position = Clamped(static_cast<long long>(m_position) + m_step);
            ReportPosition(&cancel, cancelled);
        }
        break;
    case kProgress:
        HandleProgressRecord(text, &cancel, cancelled);
        break;
    case kCommonData:
        break;
    default:
        answer = 0;
        break;
    }
    return cancelled ? kAnswerCancel : answer;
}

void CMsiUIHandlerProxy::ReportPosition(VARIANT_BOOL* cancel, bool& cancelled)
{
    OnProgress(_stringx(), m_position, m_total, epfProgressValid, cancel);
    cancelled = cancelled || *cancel == VARIANT_TRUE;
}

void CMsiUIHandlerProxy::HandleProgressRecord(const _stringx& text, VARIANT_BOOL* cancel, bool& cancelled)
{
    const std::vector<_stringx> fields = SplitRecordFields(text);
    if (fields.empty())
        return;
    const _stringx& type = fields[0];
    if (type == L"0" && fields.size() >= 4) {
        m_direction = fields[2] == L"0" ? 1 : -1;
        m_total = Number(fields[1]);
        m_position = m_direction == 1 ? 0 : m_total;
        ReportPosition(cancel, cancelled);
    } else if (type == L"1" && fields.size() >= 3) {
        m_stepping = Number(fields[2]) != 0;
        if (m_stepping)
            m_step = Clamped(static_cast<long long>(m_direction) * Number(fields[1]));
    } else if (type == L"2" && fields.size() >= 2) {
        if (m_total != 0) {
            m_position = Clamped(static_cast<long long>(m_position) + static_cast<long long>(m_direction) *
                                                                         Number(fields[1]));
            ReportPosition(cancel, cancelled);
        }
    }
}
