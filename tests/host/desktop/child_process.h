#pragma once
// A child process with pipes to its standard input and output, read line by line with a
// time limit. The destructor kills and reaps it.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace desktop_test {

using namespace std::chrono_literals;

class ChildProcess {
public:
    // Starts `argv` (argv[0] a path) with an optional working environment addition.
    explicit ChildProcess(std::vector<std::string> argv, std::vector<std::string> extraEnv = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running() const { return pid_ > 0; }

    // Writes `text` plus a line feed to the child's standard input.
    bool send(const std::string& text);
    void closeInput();

    // The next complete output line, or nothing after `limit` or at end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds limit);
    // Reads lines until one satisfies `match` (returned) or `limit` passes. Lines read are
    // kept in `seen()`.
    std::optional<std::string> waitFor(const std::function<bool(const std::string&)>& match,
                                       std::chrono::milliseconds limit);
    std::optional<std::string> waitForPrefix(const std::string& prefix,
                                             std::chrono::milliseconds limit);
    // Every line read so far.
    const std::vector<std::string>& seen() const { return seen_; }

    void signal(int sig);
    // Waits for the child to end; its exit status, or nothing after `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string pending_;
    std::vector<std::string> seen_;
};

} // namespace desktop_test
