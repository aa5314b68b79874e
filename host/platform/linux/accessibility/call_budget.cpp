#include "host/platform/linux/accessibility/call_budget.h"

#include <atspi/atspi.h>

#include <algorithm>
#include <cmath>

namespace host::platform::linux_atspi {

namespace {

// Whole microseconds of a budget; anything not a sensible duration is no time at all, and
// no budget exceeds an hour.
std::chrono::microseconds duration(float seconds) {
    if (!(seconds > 0)) return std::chrono::microseconds(0);
    const double clamped = std::min(static_cast<double>(seconds), 3600.0);
    return std::chrono::microseconds(static_cast<long long>(std::ceil(clamped * 1e6)));
}

} // namespace

CallBudget::CallBudget(float seconds, Requests requests)
    : deadline_(std::chrono::steady_clock::now() + duration(seconds)), requests_(requests) {}

bool CallBudget::arm() const {
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(deadline_ - steady_clock::now());
    if (left.count() <= 0) {
        failed_ = true;
        return false;
    }
    // A start-up grace of 0: libatspi otherwise waits up to 15 s on applications it met
    // less than 15 s ago.
    const long long timeout = requests_ == Requests::WaitWhole ? left.count() : left.count() / 2;
    atspi_set_timeout(static_cast<gint>(std::max<long long>(1, timeout)), 0);
    return true;
}

} // namespace host::platform::linux_atspi
