#include "test_application.h"

#include <glib.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace host::test {

void runEventsFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    do {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        ::usleep(1000);
    } while (std::chrono::steady_clock::now() < deadline);
}

TestApplication::TestApplication(const std::string& program) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t child = -1;
    const int failed = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];
    if (failed == 0) pid_ = child;
}

TestApplication::~TestApplication() {
    if (pid_ > 0) {
        ::kill(pid_, SIGCONT);
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (toChild_ >= 0) ::close(toChild_);
    if (fromChild_ >= 0) ::close(fromChild_);
}

void TestApplication::send(std::string_view command) {
    std::string line(command);
    line += '\n';
    const ssize_t written = ::write(toChild_, line.data(), line.size());
    (void)written; // a dead application shows in the reports that never come
}

std::optional<std::string> TestApplication::nextLine(std::chrono::steady_clock::time_point deadline,
                                                     bool runEvents) {
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        // Keep the main context turning while the application works.
        while (runEvents && g_main_context_iteration(nullptr, FALSE)) {
        }
        pollfd fd{fromChild_, POLLIN, 0};
        const int ready = ::poll(&fd, 1, static_cast<int>(std::min<long>(left.count(), 10)));
        if (ready <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(fromChild_, buffer, sizeof buffer);
        if (n <= 0) return std::nullopt; // the application is gone
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> TestApplication::waitFor(std::string_view prefix,
                                                    std::chrono::milliseconds timeout,
                                                    bool runEvents) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (auto line = nextLine(deadline, runEvents)) {
        if (line->compare(0, prefix.size(), prefix) == 0) return line;
    }
    return std::nullopt;
}

} // namespace host::test
