// The plain main loop: first in first out, one job at a time, each posting thread's order
// kept, and nothing after the job that quits.

#include "host/base/plain_main_loop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace host {
namespace {

TEST(PlainMainLoopTest, RunsJobsInPostingOrderOneAtATime) {
    PlainMainLoop loop;
    std::vector<int> order;
    bool running = false;
    for (int i = 0; i < 100; ++i) {
        loop.post([&, i] {
            EXPECT_FALSE(running);
            running = true;
            order.push_back(i);
            // A job queued by a job goes behind everything already queued.
            if (i % 10 == 0) loop.post([&, i] { order.push_back(1000 + i); });
            running = false;
        });
    }
    loop.post([&] { loop.post([&] { loop.quit(); }); });
    loop.run();
    ASSERT_EQ(order.size(), 110u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(order[100 + k], 1000 + 10 * k);
}

TEST(PlainMainLoopTest, JobsPostedFromManyThreadsKeepEachThreadsOrder) {
    PlainMainLoop loop;
    constexpr int perThread = 2000;
    std::vector<std::vector<int>> seen(4);
    std::vector<std::thread> threads;
    int finished = 0;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                loop.post([&, t, i] { seen[t].push_back(i); });
            loop.post([&] {
                if (++finished == 4) loop.quit();
            });
        });
    loop.run(); // waits for jobs still to come: the threads are posting meanwhile
    for (auto& thread : threads)
        thread.join();
    for (const auto& each : seen) {
        ASSERT_EQ(each.size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(each[i], i);
    }
}

TEST(PlainMainLoopTest, NothingQueuedBehindTheQuitRuns) {
    PlainMainLoop loop;
    std::vector<std::string> ran;
    auto witness = std::make_shared<int>(0);
    loop.post([&] {
        ran.push_back("before");
        loop.post([&] { ran.push_back("queued by a job before the end"); });
    });
    loop.post([&] { loop.quit(); });
    loop.post([&, witness] { ran.push_back("after"); });
    loop.run();
    loop.post([&] { ran.push_back("posted after the end"); });
    EXPECT_EQ(ran, std::vector<std::string>{"before"});
    EXPECT_EQ(witness.use_count(), 1); // dropped jobs are released
}

} // namespace
} // namespace host
