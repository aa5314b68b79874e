// Questions asked beside the main thread: when wanted, on the asking thread at the moment
// of asking for the answer; at once, on a thread of their own.

#include "host/platform/side_queries.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace host::platform {
namespace {

TEST(SideQueriesTest, WhenWantedTheQuestionRunsOnlyWhenItsAnswerIsTaken) {
    bool asked = false;
    auto answer = ask(SideQueries::WhenWanted, [&asked] {
        asked = true;
        return std::this_thread::get_id();
    });
    EXPECT_FALSE(asked);
    EXPECT_EQ(answer.get(), std::this_thread::get_id());
    EXPECT_TRUE(asked);

    bool dropped = false;
    {
        auto unread = ask(SideQueries::WhenWanted, [&dropped] { dropped = true; });
    }
    EXPECT_FALSE(dropped); // a question whose answer nobody takes is never asked
}

TEST(SideQueriesTest, AtOnceTheQuestionRunsOnAThreadOfItsOwnAndKeepsWhatItThrew) {
    auto answer = ask(SideQueries::AtOnce, [] { return std::this_thread::get_id(); });
    EXPECT_NE(answer.get(), std::this_thread::get_id());

    auto failing = ask(SideQueries::AtOnce, []() -> int { throw std::runtime_error("refused"); });
    EXPECT_THROW(failing.get(), std::runtime_error);

    bool finished = false;
    {
        auto unread = ask(SideQueries::AtOnce, [&finished] { finished = true; });
    }
    EXPECT_TRUE(finished); // dropping the answer waits for the question to end
}

} // namespace
} // namespace host::platform
