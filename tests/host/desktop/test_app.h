#pragma once
// The GTK3 test application as a child process: started, waited for until its window is
// on screen, told what to do, and listened to.

#include "child_process.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace desktop_test {

class TestApp {
public:
    // Starts `program` (the test application or a bundle's copy) with `args`; ready() tells
    // whether its window came up.
    explicit TestApp(const std::string& program, std::vector<std::string> args = {})
        : process_(argvOf(program, std::move(args))) {
        auto line = process_.waitForPrefix("ready ", 10s);
        if (line && std::sscanf(line->c_str(), "ready pid=%d window=%u", &pid_, &window_) == 2)
            ready_ = true;
    }

    bool ready() const { return ready_; }
    int pid() const { return pid_; }
    std::uint32_t window() const { return window_; }
    ChildProcess& process() { return process_; }

    void command(const std::string& line) { process_.send(line); }
    std::optional<std::string> waitFor(const std::string& prefix,
                                       std::chrono::milliseconds limit = 5s) {
        return process_.waitForPrefix(prefix, limit);
    }
    // The application's current values line ("values entry=... password=N scroll=N").
    std::optional<std::string> values() {
        command("report");
        return waitFor("values ");
    }

private:
    static std::vector<std::string> argvOf(const std::string& program,
                                           std::vector<std::string> args) {
        args.insert(args.begin(), program);
        return args;
    }

    ChildProcess process_;
    bool ready_ = false;
    int pid_ = 0;
    std::uint32_t window_ = 0;
};

} // namespace desktop_test
