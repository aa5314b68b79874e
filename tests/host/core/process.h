#pragma once
// A child process with pipes on its standard input, output and error, for driving a
// program byte by byte. Only the process started here is ever signalled.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace host::testing {

// How the child's standard input is handed over: some launchers set O_NONBLOCK on it.
enum class InputMode { Blocking, NonBlocking };

class Process {
public:
    // Starts `argv[0]` with exactly `environment` (NAME=value entries).
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            InputMode input = InputMode::Blocking);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Writes all of `bytes`; false when the child no longer reads (it has exited).
    bool write(const std::string& bytes);
    void closeInput();
    // The next line of standard output (with its line feed), or nothing when none arrives in
    // time or the output ends first.
    std::optional<std::string>
    readLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Everything still to come on standard output, until it ends.
    std::string readRest(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits for the exit; the raw wait status.
    int wait();
    // Asks the process to end (SIGTERM), and kills it if it has not within `grace`.
    void terminate(std::chrono::milliseconds grace = std::chrono::seconds(2));
    std::string standardError();

private:
    bool fill(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_;
    bool ended_ = false;
};

} // namespace host::testing
