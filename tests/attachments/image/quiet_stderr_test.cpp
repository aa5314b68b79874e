// Codec chatter is swallowed while the guard lives, and standard error comes back after.
#include "attachments/image/quiet_stderr.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(QuietStderr, SilencesOnlyWhileAlive) {
    testing::internal::CaptureStderr();
    {
        const attachments::QuietStderr quiet;
        std::fputs("codec noise", stderr);
        {
            const attachments::QuietStderr nested;
            std::fputs(" more noise", stderr);
        }
        std::fputs(" still quiet", stderr);
    }
    std::fputs("after", stderr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after");
}

} // namespace
