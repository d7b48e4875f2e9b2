// The seams of the run-time: the clock that drives timers and pauses, and the dialogs that
// answer popups. Programs get the system's; tests put in a virtual clock and scripted answers.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace cvi {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic time in microseconds.
    virtual std::int64_t NowUs() = 0;
    // Blocks until the clock has reached the time.
    virtual void WaitUntil(std::int64_t timeUs) = 0;
    void Sleep(std::uint32_t milliseconds) { WaitUntil(NowUs() + std::int64_t{milliseconds} * 1000); }
};

class SystemClock final : public Clock {
public:
    SystemClock();
    std::int64_t NowUs() override;
    void WaitUntil(std::int64_t timeUs) override;

private:
    std::int64_t frequency_;
};

// Time that passes only when someone waits: tests run minutes of program time at once.
class VirtualClock final : public Clock {
public:
    std::int64_t NowUs() override { return nowUs_; }
    void WaitUntil(std::int64_t timeUs) override
    {
        if (timeUs > nowUs_)
            nowUs_ = timeUs;
    }
    double Seconds() const { return static_cast<double>(nowUs_) / 1e6; }

private:
    std::int64_t nowUs_ = 0;
};

struct GenericPopupRequest {
    std::string title;
    std::string message;
    std::array<std::string, 3> buttons; // empty: no button
    int alignment = 0;
    int activeButton = 1;
    int enterButton = 0;                // 0: none
    int escapeButton = 0;
};

struct FileSelectRequest {
    std::string defaultDirectory;
    std::string defaultFileSpec;
    std::string fileTypeList;
    std::string title;
    int buttonLabel = 0;
    bool restrictDirectory = false;
    bool restrictExtension = false;
};

struct FileSelectAnswer {
    bool chosen = false; // false: cancelled
    std::string path;
};

// Shows popups and waits for the answer. Negative results are UIE_ codes.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual int Message(const std::string &title, const std::string &message) = 0;
    // The number (1-3) of the button chosen.
    virtual int Generic(const GenericPopupRequest &request) = 0;
    virtual int SelectFile(const FileSelectRequest &request, FileSelectAnswer &answer) = 0;
    virtual int OpenDocument(const std::string &document, int displayMode) = 0;
};

} // namespace cvi
