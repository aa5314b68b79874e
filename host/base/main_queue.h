#pragma once
// The one serial queue of the main thread, first in first out, and the loop that runs it.
// Every job that touches host state runs there, one at a time, so nothing is locked.

#include <functional>

namespace host {

// Thread-safety: `post` may be called from any thread; jobs run only on the main thread.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void post(std::function<void()> job) = 0;
};

// The main thread's loop: it runs the queue's jobs, and whatever else the platform
// dispatches between them, until a job asks it to quit. A backend supplies the loop its
// services deliver to.
class MainLoop : public MainQueue {
public:
    // Runs jobs on the calling thread until quit() has been called.
    virtual void run() = 0;
    // Called by a job: every job still queued is dropped, later ones are refused, and run()
    // returns once this job is done.
    virtual void quit() = 0;
};

} // namespace host
