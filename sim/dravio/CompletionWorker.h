// The simulated driver's worker thread: runs completions after a delay, in
// due-time order and, at equal times, in the order they were posted.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace dravio::sim {

class CompletionWorker {
public:
    CompletionWorker() = default;
    CompletionWorker(const CompletionWorker &) = delete;
    CompletionWorker &operator=(const CompletionWorker &) = delete;
    ~CompletionWorker();

    // The thread starts with the first task.
    void Post(uint32_t delayMilliseconds, std::function<void()> task);

    // Runs what is still queued at once and ends the thread.
    void Stop();

private:
    void Run();

    using Clock = std::chrono::steady_clock;
    std::mutex lock_;
    std::condition_variable wake_;
    std::multimap<Clock::time_point, std::function<void()>> tasks_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace dravio::sim
