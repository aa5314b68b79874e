#include "host/platform/linux/accessibility/call_budget.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace host::platform::linux_atspi {
namespace {

TEST(CallBudget, ArmsUntilItsTimeIsSpentThenRecordsTheFailure) {
    const CallBudget budget(0.05f);
    EXPECT_TRUE(budget.arm());
    EXPECT_FALSE(budget.failed());
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_FALSE(budget.arm());
    EXPECT_TRUE(budget.failed());
}

TEST(CallBudget, NoTimeAllowsNoRequest) {
    for (const float seconds : {0.0f, -1.0f, std::nanf("")}) {
        const CallBudget budget(seconds);
        EXPECT_FALSE(budget.arm()) << seconds;
        EXPECT_TRUE(budget.failed()) << seconds;
    }
}

TEST(CallBudget, HugeBudgetsAreCapped) {
    const CallBudget budget(std::numeric_limits<float>::infinity());
    EXPECT_TRUE(budget.arm());
}

TEST(CallBudget, AFailedRequestIsRemembered) {
    const CallBudget budget(10.0f);
    budget.noteFailure();
    EXPECT_TRUE(budget.failed());
    EXPECT_TRUE(budget.arm()); // time is left: later independent requests may still run
}

} // namespace
} // namespace host::platform::linux_atspi
