#pragma once
// The time one port call may spend waiting for other processes. libatspi has a single
// process-wide method-call timeout, so the budget re-arms it with what is left before each
// request: a call that makes several requests to a hung application gives up once its
// budget is spent, not after the budget times the number of requests.

#include <chrono>

namespace host::platform::linux_atspi {

class CallBudget {
public:
    explicit CallBudget(float seconds);
    // Sets libatspi's timeout from the time left; false once the budget is spent (the
    // caller then makes no further request).
    [[nodiscard]] bool arm() const;
    // A request failed (error, timeout) or was not made for want of time.
    void noteFailure() const { failed_ = true; }
    bool failed() const { return failed_; }

private:
    std::chrono::steady_clock::time_point deadline_;
    mutable bool failed_ = false;
};

} // namespace host::platform::linux_atspi
