#pragma once
// One background thread that runs jobs in order. The destructor waits for the job that is
// running and drops those still queued: at shutdown nobody waits for them any more.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace host::platform::linux_desktop {

class WorkerThread {
public:
    WorkerThread();
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Thread-safe.
    void post(std::function<void()> job);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_; // last: starts once the rest exists
};

} // namespace host::platform::linux_desktop
