// The chunk job: buffer, pending bound, line cutting, request jobs in order.

#include "host/channel/request_loop.h"
#include "host/session/host.h"
#include "tests/support/manual_queue.h"
#include "tests/support/no_ports.h"

#include <gtest/gtest.h>

namespace host {
namespace {

struct CollectingSink : AnswerSink {
    std::vector<std::string> lines;
    void write(std::string_view line) override { lines.emplace_back(line); }
};

class RequestLoopTest : public ::testing::Test {
protected:
    test_support::FakeDesktopParts desktop;
    test_support::ManualQueue queue;
    Host host{desktop.platform, queue};
    CollectingSink answers;
    int overflows = 0;
    RequestLoop loop{host, desktop.platform, queue, answers, [this] { ++overflows; }};

    static std::string clear(const std::string& id) {
        return R"({"id":")" + id + R"(","method":"clear"})" + "\n";
    }
    static std::string cleared(const std::string& id) {
        return R"({"id":")" + id + R"(","result":{"cleared":true}})" + "\n";
    }
    // A complete line of exactly `size` bytes, line feed included.
    static std::string paddedClear(const std::string& id, std::size_t size) {
        std::string head = R"({"id":")" + id + R"(","method":"clear","params":{"pad":")";
        std::string tail = "\"}}\n";
        return head + std::string(size - head.size() - tail.size(), 'p') + tail;
    }
};

TEST_F(RequestLoopTest, RequestsOfOneChunkAreQueuedInOrderAndAnsweredInOrder) {
    loop.chunk(clear("a") + clear("b") + clear("c"));
    EXPECT_TRUE(answers.lines.empty()); // the chunk job only queues
    EXPECT_EQ(queue.jobs.size(), 3u);
    queue.runAll();
    EXPECT_EQ(answers.lines, (std::vector<std::string>{cleared("a"), cleared("b"), cleared("c")}));
}

TEST_F(RequestLoopTest, ALineSplitAcrossChunksIsHandledOnceWhenItsLineFeedArrives) {
    const std::string line = clear("split");
    for (char c : line.substr(0, line.size() - 1)) {
        loop.chunk(std::string(1, c));
        EXPECT_TRUE(queue.jobs.empty());
    }
    loop.chunk("\n");
    queue.runAll();
    EXPECT_EQ(answers.lines, std::vector<std::string>{cleared("split")});
    EXPECT_TRUE(host.buffer().empty());
}

TEST_F(RequestLoopTest, InvalidLinesAreDroppedAndTheNextOnesAnswered) {
    loop.chunk("\n  \nnot json\n[1]\n\"s\"\n{\"id\":1,\"method\":\"clear\"}\n" + clear("ok") +
               "{\"id\":\"x\",\"method\":\"clear\"} trailing\n" +
               "{\"id\":\"crlf\",\"method\":\"clear\"}\r\n" +
               R"({"id":"p","method":"clear","params":null})" + "\n");
    queue.runAll();
    EXPECT_EQ(answers.lines,
              (std::vector<std::string>{cleared("ok"), cleared("crlf"), cleared("p")}));
}

TEST_F(RequestLoopTest, APendingBufferOfExactlyTheLimitIsServed) {
    loop.chunk(paddedClear("full", pendingLimit));
    EXPECT_EQ(overflows, 0);
    queue.runAll();
    EXPECT_EQ(answers.lines, std::vector<std::string>{cleared("full")});
}

TEST_F(RequestLoopTest, OneByteMoreOverflowsBeforeAnyLineIsCut) {
    // Complete lines only, 65,537 bytes in all: nothing of them may run.
    const std::string lines =
        clear("first") + paddedClear("rest", pendingLimit + 1 - clear("first").size());
    ASSERT_EQ(lines.size(), pendingLimit + 1);
    loop.chunk(lines);
    EXPECT_EQ(overflows, 1);
    EXPECT_TRUE(queue.jobs.empty());
}

TEST_F(RequestLoopTest, ThePartialLineCountsTowardsTheLimit) {
    loop.chunk(std::string(pendingLimit - 10, 'x'));
    loop.chunk(std::string(10, 'x'));
    EXPECT_EQ(overflows, 0);
    loop.chunk("\n");
    EXPECT_EQ(overflows, 1);
}

TEST_F(RequestLoopTest, CutLinesNoLongerCount) {
    for (int i = 0; i < 40; ++i)
        loop.chunk(paddedClear(std::to_string(i), 4000));
    EXPECT_EQ(overflows, 0);
    queue.runAll();
    EXPECT_EQ(answers.lines.size(), 40u);
}

} // namespace
} // namespace host
