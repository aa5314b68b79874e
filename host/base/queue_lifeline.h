#pragma once
// Hands jobs to the main queue for as long as the host lives. Platform callbacks may come
// from other threads after the host (and the queue it was built on) are gone, at the end
// of the process: through a lifeline they are then dropped instead of touching freed memory.

#include "host/base/main_queue.h"

#include <functional>
#include <mutex>

namespace host {

class QueueLifeline {
public:
    explicit QueueLifeline(MainQueue& queue) : queue_(&queue) {}

    // Any thread. False, and the job dropped, once the lifeline is cut.
    bool post(std::function<void()> job) {
        std::lock_guard lock(mutex_);
        if (!queue_) return false;
        queue_->post(std::move(job));
        return true;
    }
    // Main thread. Whether the host is still there (for jobs already queued).
    bool alive() {
        std::lock_guard lock(mutex_);
        return queue_ != nullptr;
    }
    // Called by the host as it goes; no post reaches the queue afterwards.
    void cut() {
        std::lock_guard lock(mutex_);
        queue_ = nullptr;
    }

private:
    std::mutex mutex_;
    MainQueue* queue_;
};

} // namespace host
