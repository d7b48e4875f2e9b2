#include "CompletionWorker.h"

namespace dravio::sim {

CompletionWorker::~CompletionWorker()
{
    Stop();
}

void CompletionWorker::Post(uint32_t delayMilliseconds, std::function<void()> task)
{
    std::lock_guard guard(lock_);
    tasks_.emplace(Clock::now() + std::chrono::milliseconds(delayMilliseconds), std::move(task));
    if (!thread_.joinable() && !stopping_)
        thread_ = std::thread([this] { Run(); });
    wake_.notify_one();
}

void CompletionWorker::Stop()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
        wake_.notify_one();
    }
    if (thread_.joinable())
        thread_.join();
    // Tasks posted without a thread to run them still complete their requests.
    std::unique_lock guard(lock_);
    while (!tasks_.empty()) {
        auto task = std::move(tasks_.begin()->second);
        tasks_.erase(tasks_.begin());
        guard.unlock();
        task();
        guard.lock();
    }
}

void CompletionWorker::Run()
{
    std::unique_lock guard(lock_);
    for (;;) {
        if (tasks_.empty()) {
            if (stopping_)
                return;
            wake_.wait(guard);
            continue;
        }
        const auto due = tasks_.begin()->first;
        if (!stopping_ && Clock::now() < due) {
            wake_.wait_until(guard, due);
            continue;
        }
        auto task = std::move(tasks_.begin()->second);
        tasks_.erase(tasks_.begin());
        guard.unlock();
        task();
        guard.lock();
    }
}

} // namespace dravio::sim
