#pragma once

#include <functional>

namespace host {

// The one serial queue of the main thread, first in first out. Every job that touches host
// state runs here, one at a time, so nothing is locked.
// Thread-safety: `post` may be called from any thread; jobs run only on the main thread.
class MainQueue {
public:
    virtual ~MainQueue() = default;
    virtual void post(std::function<void()> job) = 0;
};

} // namespace host
