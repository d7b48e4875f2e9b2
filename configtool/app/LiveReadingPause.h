// An operation on the position page that talks to the encoder while live reading may run: it
// keeps the main message, stops the read timer for its run and, once it succeeded, gives the
// reading back as it found it.
#pragma once

#include <string>

class LiveReadingPause {
public:
    // Keeps the text MAIN_MESSAGE shows now.
    LiveReadingPause();
    LiveReadingPause(const LiveReadingPause &) = delete;
    LiveReadingPause &operator=(const LiveReadingPause &) = delete;

    // While reading: READ_TIMER off and no error read pending.
    void StopReadTimer() const;
    // After the busy state ended, while reading: the kept message back, the pages dimmed as
    // reading keeps them, a pause of 0.1 s and READ_TIMER on again.
    void Resume() const;

private:
    std::string message_;
};
