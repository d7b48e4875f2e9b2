// The guided ring calibration behind START_CALIB: the operator turns the ring once forward and
// once backward while the encoder sends, frame by frame, the pole under its head and two signal
// values; the run watches direction and speed, judges both directions, corrects the zero
// position and writes the configuration. It runs inside the callback and keeps the window alive
// between frames, which is how aborting or closing the panel stops it.
#include <array>
#include <cmath>
#include <cstdint>
#include <span>

#include "BusyState.h"
#include "CalibrationPanel.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "RingCalibrationJudgement.h"
#include "SensorLink.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr std::size_t kSampleCapacity = 100000;

} // namespace

// Reused for both directions; the index wraps at the end.
std::array<double, kSampleCapacity> CalibSamplesA;
std::array<double, kSampleCapacity> CalibSamplesB;
std::array<std::int32_t, kSampleCapacity> CalibSamplePoles;

namespace {

constexpr unsigned kOutputFormatAddress = 17;
constexpr unsigned kPositionFormatBits = 0x38;

constexpr int kTitleError = 0;
constexpr int kTitleWarning = 1;
constexpr int kTitleNotification = 2;
constexpr int kMessageWrongDirection = 34;
constexpr int kMessageTooFast = 35;
constexpr int kMessageCalibrationFailed = 36;
constexpr int kMessageCalibrationSuccessful = 37;
constexpr int kMessageCalibrationClosed = 40;

constexpr int kTextRotateForward = 77;
constexpr int kTextMechanicalError = 78;
constexpr int kTextSearchingForward = 79;
constexpr int kTextMeasuringForward = 80;
constexpr int kTextStopRotation = 81;
constexpr int kTextRotateBackward = 82;
constexpr int kTextSearchingBackward = 83;
constexpr int kTextMeasuringBackward = 84;
constexpr int kTextTooFast = 85;
constexpr int kTextCalculating = 86;
constexpr int kTextFinished = 87;
constexpr int kTextFailed = 88;
constexpr int kTextUpdating = 89;

enum class Direction { Forward, Backward };

// One calibration frame: the 40-bit single-cycle data of channel 0.
struct CalibrationFrame {
    std::int32_t pole = 0;
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    bool ok = false;
};

CalibrationFrame DecodeFrame(BISS_U32 high, BISS_U32 low)
{
    CalibrationFrame frame;
    frame.pole = static_cast<std::int32_t>(((high & 0x7Fu) << 8) + (low >> 24));
    frame.first = static_cast<std::uint8_t>(low >> 16);
    frame.second = static_cast<std::uint8_t>(low >> 8);
    frame.ok = ((low >> 7) & 1u) != 0;
    return frame;
}

// Whether the run goes on; a run that stops has shown what it had to.
enum class Step { Go, Stop };

class CalibrationRun {
public:
    int Run();

private:
    Step ReadFrame();
    Step EventsWhileShown();
    Step MechanicalError();
    Step ModeCheck();
    Step Search(Direction direction, int warningTitle);
    Step Measure(Direction direction);
    DirectionJudgement Judge() const;
    Step Finish(const DirectionJudgement &forward, const DirectionJudgement &backward);

    double reference_ = 0.0;
    std::int32_t poles_ = 0;
    CalibrationFrame frame_;
    std::int32_t previous_ = 0;
    std::int32_t searchEnd_ = 0;
    int wrongSteps_ = 0;
    bool wrongDirection_ = false;
    std::size_t j_ = 0;
};

Step CalibrationRun::EventsWhileShown()
{
    ProcessSystemEvents();
    return g_calibPanelShown ? Step::Go : Step::Stop;
}

Step CalibrationRun::ReadFrame()
{
    if (EventsWhileShown() == Step::Stop)
        return Step::Stop;
    const int code = BISS_ReadSCD(g_link.handle, g_scd.high, g_scd.low, &g_scd.crcStatus, 0, &g_scd.controlDone);
    if (code != 0) {
        // Supervision takes care of the encoder.
        g_link.lastError = code;
        SetTimerEnabled(ToolTimer::Main, true);
        return Step::Stop;
    }
    frame_ = DecodeFrame(g_scd.high[kEncoderChannel], g_scd.low[kEncoderChannel]);
    return Step::Go;
}

Step CalibrationRun::MechanicalError()
{
    ShowCalibrationText(kTextMechanicalError, kCalibRed);
    ProcessSystemEvents();
    SetTimerEnabled(ToolTimer::Main, true);
    SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB, CALIB_PAN_START_CALIB, CALIB_PAN_POLE_NUM}, false);
    return Step::Stop;
}

// After a warning: the encoder must still send the calibration format.
Step CalibrationRun::ModeCheck()
{
    const int code = TransferBissData(kMailboxReadRam, kOutputFormatAddress, 1);
    if (code != 0 || (calvista::ImageByte(kOutputFormatAddress) & kPositionFormatBits) != kPositionFormatBits) {
        LocalizedMessagePopup(kTitleError, kMessageCalibrationClosed);
        CalibOff(false);
        return Step::Stop;
    }
    g_link.lastError = 0;
    return Step::Go;
}

Step CalibrationRun::Search(Direction direction, int warningTitle)
{
    const bool forward = direction == Direction::Forward;
    bool firstFrame = true;
    for (;;) {
        if (ReadFrame() == Step::Stop)
            return Step::Stop;
        if (!frame_.ok)
            return MechanicalError();
        const std::int32_t p = frame_.pole;
        if (p != previous_ && !firstFrame) {
            const bool wrong = forward ? p < previous_ : p > previous_;
            wrongSteps_ = wrong ? wrongSteps_ + 1 : 0;
            wrongDirection_ = wrong;
            if (wrongSteps_ > 5) {
                LocalizedMessagePopup(warningTitle, kMessageWrongDirection);
                wrongSteps_ = 0;
                if (ModeCheck() == Step::Stop)
                    return Step::Stop;
            }
            const bool tooFast = forward ? previous_ + 4 < p : p < previous_ - 4;
            if (tooFast) {
                ShowCalibrationText(kTextTooFast, kCalibBlack);
                if (EventsWhileShown() == Step::Stop)
                    return Step::Stop;
            } else {
                ShowCalibrationText(forward ? kTextSearchingForward : kTextSearchingBackward, kCalibBlack);
            }
        }
        previous_ = p;
        firstFrame = false;
        const bool atStart = forward ? p >= 1 && p <= 5 : p >= poles_ - 5 && p <= poles_ - 1;
        if (!wrongDirection_ && atStart) {
            searchEnd_ = p;
            return Step::Go;
        }
    }
}

Step CalibrationRun::Measure(Direction direction)
{
    const bool forward = direction == Direction::Forward;
    std::int32_t value = 0;
    for (;;) {
        if (ReadFrame() == Step::Stop)
            return Step::Stop;
        value = forward ? frame_.pole : frame_.pole - searchEnd_;
        CalibSamplesA[j_] = frame_.first;
        CalibSamplesB[j_] = frame_.second;
        CalibSamplePoles[j_] = value;

        const std::int32_t *v = CalibSamplePoles.data();
        const std::int32_t j = static_cast<std::int32_t>(j_);
        bool jump = false;
        bool wrongSteps = false;
        if (forward) {
            wrongSteps = j > 1 && j < poles_ - 1 && v[j - 2] > v[j - 1] && v[j - 1] > v[j];
            jump = j > 5 && v[j - 1] + 4 < v[j] && v[j] > 1;
        } else {
            wrongSteps = j > 1 && j < poles_ - 1 && v[j - 2] < v[j - 1] && v[j - 1] < v[j];
            jump = j > 5 && v[j] < v[j - 1] - 4 && v[j] < poles_ - 2;
        }
        bool restarted = false;
        if (jump || wrongSteps) {
            LocalizedMessagePopup(kTitleWarning, jump ? kMessageTooFast : kMessageWrongDirection);
            if (ModeCheck() == Step::Stop)
                return Step::Stop;
            if (forward) {
                ShowCalibrationText(kTextSearchingForward, kCalibBlack);
                if (EventsWhileShown() == Step::Stop)
                    return Step::Stop;
            }
            if (Search(direction, kTitleWarning) == Step::Stop)
                return Step::Stop;
            ShowCalibrationText(forward ? kTextMeasuringForward : kTextMeasuringBackward, kCalibGreen);
            restarted = true;
        }

        MillisecSleep(0.01);
        j_ = restarted ? 0 : (j_ + 1) % kSampleCapacity;
        SetCtrlVal(g_calibPanel, CALIB_PAN_POLNUM, value);
        SetCtrlVal(g_calibPanel, CALIB_PAN_N1, static_cast<int>(frame_.first));
        SetCtrlVal(g_calibPanel, CALIB_PAN_N2, static_cast<int>(frame_.second));

        const bool atEnd = forward ? value >= poles_ - 5 && value <= poles_ - 2
                                   : value >= -(poles_ - 2) && value <= -(poles_ - 5);
        if (j_ > 10 && (!frame_.ok || atEnd))
            return Step::Go;
    }
}

DirectionJudgement CalibrationRun::Judge() const
{
    const DirectionJudgement judged = JudgeDirection(std::span<const double>(CalibSamplesA.data(), j_),
                                                     std::span<const double>(CalibSamplesB.data(), j_), reference_);
    const int shown = std::isfinite(judged.vef) ? static_cast<int>(judged.vef) : 0;
    SetCtrlVal(g_calibPanel, CALIB_PAN_VEF_CALC, shown);
    return judged;
}

Step CalibrationRun::Finish(const DirectionJudgement &forward, const DirectionJudgement &backward)
{
    if (!CalibrationAccepted(static_cast<unsigned>(poles_), forward, backward)) {
        LocalizedMessagePopup(kTitleWarning, kMessageCalibrationFailed);
        CalibOff(true);
        return Step::Stop;
    }
    const int expert = ExpertPage();
    const std::int32_t zpos = CtrlInt(expert, TAB_EXPERT_ZPOS);
    const auto correction = ZposCorrection(forward, backward, zpos);
    if (!correction) {
        ShowCalibrationText(kTextFailed, kCalibRed);
        LocalizedMessagePopup(kTitleError, kMessageCalibrationClosed);
        CalibOff(true);
        return Step::Stop;
    }
    if (*correction != 0)
        SetDerivedValue(expert, TAB_EXPERT_ZPOS, zpos + *correction);

    ShowCalibrationText(kTextUpdating, kCalibBlack);
    if (*correction != 0)
        CAT_DORVEL_VECTOR_CB(expert, TAB_EXPERT_ZPOS, EVENT_VAL_CHANGED, nullptr, 0, 0);
    SetDerivedValue(expert, TAB_EXPERT_OFFSET, 0);
    if (EventsWhileShown() == Step::Stop)
        return Step::Stop;

    // A configuration that did not reach the encoder is no calibration.
    if (WRITE_CFG_CB(SysPage(), TAB_SYS_WRITE_CFG, EVENT_COMMIT, nullptr, 0, 0) != 0) {
        ShowCalibrationText(kTextFailed, kCalibRed);
        SetTimerEnabled(ToolTimer::Main, true);
        return Step::Stop;
    }

    ShowCalibrationText(kTextFinished, kCalibGreen);
    SetTimerEnabled(ToolTimer::Main, true);
    MillisecSleep(2.0);
    LocalizedMessagePopup(kTitleNotification, kMessageCalibrationSuccessful);
    SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB}, false);
    ProcessSystemEvents();
    CalibOff(false);
    return Step::Go;
}

int CalibrationRun::Run()
{
    reference_ = CalibrationReferenceLevel(ReferenceSysSettings.resolution);
    SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB, CALIB_PAN_START_CALIB, CALIB_PAN_POLE_NUM}, true);
    SetCalibControlsDimmed({CALIB_PAN_ABORT_CALIB}, false);
    unsigned short shownPoles = 0;
    GetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, &shownPoles);
    poles_ = shownPoles;
    SetCtrlAttribute(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION, ATTR_TEXT_COLOR, kCalibBlack);
    if (EventsWhileShown() == Step::Stop)
        return 1;

    ShowCalibrationText(kTextRotateForward, kCalibBlack);
    SetTimerEnabled(ToolTimer::Main, false);
    MillisecSleep(1.0);
    if (Search(Direction::Forward, kTitleNotification) == Step::Stop)
        return 1;

    previous_ = 0;
    ShowCalibrationText(kTextMeasuringForward, kCalibGreen);
    if (EventsWhileShown() == Step::Stop)
        return 1;
    SetTimerEnabled(ToolTimer::Main, false);
    j_ = 0;
    if (Measure(Direction::Forward) == Step::Stop)
        return 1;
    if (!frame_.ok) {
        MechanicalError();
        return 1;
    }
    const DirectionJudgement forward = Judge();

    ShowCalibrationText(kTextStopRotation, kCalibRed);
    ProcessSystemEvents();
    MillisecSleep(5.0);
    ShowCalibrationText(kTextRotateBackward, kCalibBlack);
    if (EventsWhileShown() == Step::Stop)
        return 1;

    previous_ = 0;
    j_ = 0;
    if (Search(Direction::Backward, kTitleWarning) == Step::Stop)
        return 1;
    ShowCalibrationText(kTextMeasuringBackward, kCalibGreen);
    if (EventsWhileShown() == Step::Stop)
        return 1;
    previous_ = 0;
    SetTimerEnabled(ToolTimer::Main, false);
    if (Measure(Direction::Backward) == Step::Stop)
        return 1;
    if (!frame_.ok) {
        MechanicalError();
        return 1;
    }

    ShowCalibrationText(kTextStopRotation, kCalibRed);
    ProcessDrawEvents();
    MillisecSleep(2.0);
    ShowCalibrationText(kTextCalculating, kCalibBlack);
    ProcessDrawEvents();
    MillisecSleep(1.0);
    const DirectionJudgement backward = Judge();
    return Finish(forward, backward) == Step::Go ? 0 : 1;
}

} // namespace

int START_CALIB_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    CalibrationRun run;
    return run.Run();
}
