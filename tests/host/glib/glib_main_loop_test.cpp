// The main loop on a GLib main context: first in first out, one job at a time, other
// sources between jobs, and nothing after it is closed.

#include "host/platform/linux/glib/glib_main_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace host {
namespace {

using platform::linux_desktop::GlibMainLoop;

struct ContextRef {
    GMainContext* context = g_main_context_new();
    ~ContextRef() { g_main_context_unref(context); }
    void drain() {
        while (g_main_context_iteration(context, FALSE)) {
        }
    }
};

TEST(GlibMainLoopTest, RunsJobsInPostingOrderOneAtATime) {
    ContextRef ref;
    GlibMainLoop queue(ref.context);
    std::vector<int> order;
    bool running = false;
    for (int i = 0; i < 100; ++i) {
        queue.post([&, i] {
            EXPECT_FALSE(running);
            running = true;
            order.push_back(i);
            // A job queued by a job goes behind everything already queued.
            if (i % 10 == 0) queue.post([&, i] { order.push_back(1000 + i); });
            running = false;
        });
    }
    ref.drain();
    ASSERT_EQ(order.size(), 110u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(order[100 + k], 1000 + 10 * k);
}

TEST(GlibMainLoopTest, JobsPostedFromManyThreadsKeepEachThreadsOrder) {
    ContextRef ref;
    GlibMainLoop queue(ref.context);
    constexpr int perThread = 2000;
    std::vector<std::vector<int>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                queue.post([&, t, i] { seen[t].push_back(i); });
        });
    for (auto& thread : threads)
        thread.join();
    ref.drain();
    for (const auto& each : seen) {
        ASSERT_EQ(each.size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i)
            EXPECT_EQ(each[i], i);
    }
}

TEST(GlibMainLoopTest, OtherSourcesAreDispatchedBetweenJobsNotStarvedByThem) {
    ContextRef ref;
    GlibMainLoop queue(ref.context);
    std::vector<std::string> events;
    queue.post([&] {
        // An idle source that becomes ready while this job runs.
        GSource* idle = g_idle_source_new();
        g_source_set_priority(idle, G_PRIORITY_DEFAULT);
        g_source_set_callback(
            idle,
            [](gpointer data) -> gboolean {
                static_cast<std::vector<std::string>*>(data)->push_back("idle");
                return G_SOURCE_REMOVE;
            },
            &events, nullptr);
        g_source_attach(idle, ref.context);
        g_source_unref(idle);
        events.push_back("job 0");
    });
    // Jobs of a millisecond each: the context gets its turn after a slice of them.
    for (int i = 1; i < 20; ++i)
        queue.post([&, i] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            events.push_back("job " + std::to_string(i));
        });
    ref.drain();
    ASSERT_EQ(events.size(), 21u);
    EXPECT_EQ(events[0], "job 0");
    const auto idle = std::find(events.begin(), events.end(), "idle");
    // Within a couple of slices, long before the queue runs dry.
    EXPECT_LT(idle - events.begin(), 15);
}

TEST(GlibMainLoopTest, NothingQueuedBehindTheCloseRuns) {
    ContextRef ref;
    GlibMainLoop queue(ref.context);
    std::vector<std::string> ran;
    auto witness = std::make_shared<int>(0);
    queue.post([&] {
        ran.push_back("before");
        queue.post([&] { ran.push_back("queued by a job before the end"); });
    });
    queue.post([&] { queue.close(); });
    queue.post([&, witness] { ran.push_back("after"); });
    ref.drain();
    queue.post([&] { ran.push_back("posted after the end"); });
    ref.drain();
    EXPECT_EQ(ran, std::vector<std::string>{"before"});
    EXPECT_EQ(witness.use_count(), 1); // dropped jobs are released
}

TEST(GlibMainLoopTest, RunReturnsAfterTheJobThatQuitsAndDropsTheRest) {
    GlibMainLoop loop;
    std::vector<std::string> ran;
    loop.post([&] { ran.push_back("first"); });
    loop.post([&] {
        ran.push_back("quit");
        loop.quit();
        loop.post([&] { ran.push_back("posted by the quitting job"); });
    });
    loop.post([&] { ran.push_back("queued behind the quit"); });
    loop.run();
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "quit"}));
}

} // namespace
} // namespace host
