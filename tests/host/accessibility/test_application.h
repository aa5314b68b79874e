#pragma once
// The desktop test application as a child process: commands go to its standard input, its
// reports ("ready ...", "pressed", "entry TEXT", "scroll N"...) are read from its standard
// output. While waiting, the GLib main context of this thread is run, as the host's main
// loop would, so AT-SPI events reach the adapter.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace host::test {

// Runs pending GLib events of this thread's default main context for `duration`.
void runEventsFor(std::chrono::milliseconds duration);

// Polls `done` (running events in between) until it holds or `timeout` passes.
template <typename Predicate>
bool eventually(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        runEventsFor(std::chrono::milliseconds(10));
    }
    return true;
}

class TestApplication {
public:
    explicit TestApplication(const std::string& program);
    ~TestApplication(); // kills the application (also when it is stopped) and reaps it
    TestApplication(const TestApplication&) = delete;
    TestApplication& operator=(const TestApplication&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void send(std::string_view command);
    // The next report starting with `prefix` (earlier reports are passed over). `runEvents`
    // false leaves the main context alone meanwhile, as a busy host would.
    std::optional<std::string> waitFor(std::string_view prefix,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(5),
                                       bool runEvents = true);

private:
    std::optional<std::string> nextLine(std::chrono::steady_clock::time_point deadline,
                                        bool runEvents);

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    std::string pending_;
};

} // namespace host::test
