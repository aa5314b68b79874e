#pragma once
// A main loop that runs nothing but its own jobs: for platforms whose services dispatch no
// events of their own on the main thread (the in-memory desktop of the tests).

#include "host/base/main_queue.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace host {

class PlainMainLoop final : public MainLoop {
public:
    PlainMainLoop() = default;
    PlainMainLoop(const PlainMainLoop&) = delete;
    PlainMainLoop& operator=(const PlainMainLoop&) = delete;

    void post(std::function<void()> job) override;
    void run() override;
    void quit() override;

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    bool quitting_ = false;
};

} // namespace host
