#pragma once
// The time one port call may spend waiting for other processes. libatspi has a single
// process-wide method-call timeout, so the budget re-arms it with what is left before each
// request: a call that makes several requests to a hung application gives up once its
// budget is spent, not after the budget times the number of requests.
//
// One libatspi call may wait twice in a row (on an application that did not answer, it
// asks again about what it has not cached). A shared budget gives each request half of
// what is left, so the call never outlasts it. Calls through an application element, which
// carries the timeout the host set, give each request all that is left instead: an
// application that answers within the timeout is operated, and a hung one holds such a call
// at most twice the timeout.

#include <chrono>

namespace host::platform::linux_atspi {

class CallBudget {
public:
    enum class Requests { Share, WaitWhole };
    explicit CallBudget(float seconds, Requests requests = Requests::Share);
    // Sets libatspi's timeout from the time left; false once the budget is spent (the
    // caller then makes no further request).
    [[nodiscard]] bool arm() const;
    // A request failed (error, timeout) or was not made for want of time.
    void noteFailure() const { failed_ = true; }
    bool failed() const { return failed_; }

private:
    std::chrono::steady_clock::time_point deadline_;
    Requests requests_;
    mutable bool failed_ = false;
};

} // namespace host::platform::linux_atspi
