#pragma once
// The main queue, run by hand: jobs wait until the test runs them, in the order posted.

#include "host/base/main_queue.h"

#include <deque>
#include <functional>

namespace test_support {

class ManualQueue : public host::MainQueue {
public:
    void post(std::function<void()> job) override { jobs.push_back(std::move(job)); }
    bool runOne() {
        if (jobs.empty()) return false;
        auto job = std::move(jobs.front());
        jobs.pop_front();
        job();
        return true;
    }
    // Runs jobs, including those they post, until none is left; returns how many ran.
    int runAll() {
        int ran = 0;
        while (runOne())
            ++ran;
        return ran;
    }
    std::size_t size() const { return jobs.size(); }

    std::deque<std::function<void()>> jobs;
};

} // namespace test_support
