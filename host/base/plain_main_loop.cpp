#include "host/base/plain_main_loop.h"

#include <utility>

namespace host {

void PlainMainLoop::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        if (quitting_) return;
        jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
}

void PlainMainLoop::run() {
    std::unique_lock lock(mutex_);
    while (!quitting_) {
        ready_.wait(lock, [this] { return quitting_ || !jobs_.empty(); });
        if (quitting_) break;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        job = nullptr; // released before the next job, outside the lock
        lock.lock();
    }
}

void PlainMainLoop::quit() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        quitting_ = true;
        dropped.swap(jobs_);
    }
    // The dropped jobs are destroyed here, outside the lock.
}

} // namespace host
