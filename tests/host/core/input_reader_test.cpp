// The reading thread: every byte handed on, the end reported once, and only a read of 0
// bytes taken for the end: not a non-blocking descriptor with nothing yet, not a signal.

#include "host/channel/input_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace host {
namespace {

using namespace std::chrono_literals;

// What the reader handed on, seen from the test's thread.
struct Received {
    std::mutex mutex;
    std::condition_variable changed;
    std::string bytes;
    int ends = 0;
    pthread_t reader{};

    void chunk(const std::string& more) {
        std::lock_guard lock(mutex);
        reader = pthread_self();
        bytes += more;
        changed.notify_all();
    }
    void end() {
        std::lock_guard lock(mutex);
        ++ends;
        changed.notify_all();
    }
    // Waits (a generous while) until `done` holds; returns whether it does.
    template <typename Done> bool await(Done done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return done(*this); });
    }
};

// A handler that does nothing, installed without SA_RESTART, so a blocked read or poll on
// the reading thread returns EINTR.
class InterruptingSignal {
public:
    InterruptingSignal() {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGUSR1, &action, &previous_);
    }
    ~InterruptingSignal() { sigaction(SIGUSR1, &previous_, nullptr); }

private:
    struct sigaction previous_ {};
};

struct Pipe {
    int read = -1;
    int write = -1;
    explicit Pipe(bool nonBlockingRead) {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        read = fds[0];
        write = fds[1];
        if (nonBlockingRead) {
            EXPECT_EQ(::fcntl(read, F_SETFL, O_NONBLOCK), 0);
        }
    }
    void put(std::string_view bytes) const {
        ASSERT_EQ(::write(write, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void closeWrite() {
        ::close(write);
        write = -1;
    }
    ~Pipe() {
        if (write >= 0) ::close(write);
        ::close(read);
    }
};

class InputReaderTest : public ::testing::TestWithParam<bool> {};

TEST_P(InputReaderTest, WaitsThroughSilenceAndSignalsAndEndsOnlyAtEndOfInput) {
    const bool nonBlocking = GetParam();
    InterruptingSignal signal;
    Pipe pipe(nonBlocking);
    Received received;
    {
        InputReader reader(
            pipe.read, [&](std::string bytes, InputReader::SlotToken) { received.chunk(bytes); },
            [&] { received.end(); });

        // Nothing written yet: a non-blocking read finds nothing, which is no end.
        std::this_thread::sleep_for(50ms);
        pipe.put("first");
        ASSERT_TRUE(received.await([](auto& r) { return r.bytes == "first" || r.ends > 0; }));
        ASSERT_EQ(received.ends, 0);

        // Interrupted while it waits for more: it goes on waiting.
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(10ms);
            pthread_kill(received.reader, SIGUSR1);
        }
        std::this_thread::sleep_for(20ms);
        pipe.put(" second");
        ASSERT_TRUE(received.await([](auto& r) { return r.bytes.size() >= 12 || r.ends > 0; }));
        EXPECT_EQ(received.ends, 0);

        pipe.closeWrite();
        ASSERT_TRUE(received.await([](auto& r) { return r.ends > 0; }));
    } // joins the reading thread
    EXPECT_EQ(received.bytes, "first second");
    EXPECT_EQ(received.ends, 1);
}

INSTANTIATE_TEST_SUITE_P(Descriptor, InputReaderTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "NonBlocking" : "Blocking"; });

TEST(InputReaderEndTest, AnUnreadableDescriptorEndsInputOnce) {
    // A descriptor that was never open (EBADF): no retry can mend it.
    Received received;
    {
        InputReader reader(
            -1, [&](std::string bytes, InputReader::SlotToken) { received.chunk(bytes); },
            [&] { received.end(); });
        ASSERT_TRUE(received.await([](auto& r) { return r.ends > 0; }));
    }
    EXPECT_EQ(received.ends, 1);
    EXPECT_EQ(received.bytes, "");
}

} // namespace
} // namespace host
