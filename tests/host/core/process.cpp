#include "tests/host/core/process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace host::testing {
namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (const auto& s : strings)
        result.push_back(const_cast<char*>(s.c_str()));
    result.push_back(nullptr);
    return result;
}

} // namespace

Process::Process(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                 InputMode input) {
    std::signal(SIGPIPE, SIG_IGN); // a child that exits early must not kill the test
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    // The flag belongs to the read end's open file description, which the child inherits.
    if (input == InputMode::NonBlocking && ::fcntl(in[0], F_SETFL, O_NONBLOCK) != 0)
        throw std::runtime_error("fcntl");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    auto args = pointers(argv);
    auto env = pointers(environment);
    const int status = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    if (status != 0) throw std::runtime_error("spawn " + argv[0]);
}

Process::~Process() {
    if (in_ >= 0) ::close(in_);
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
}

bool Process::write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void Process::closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
}

bool Process::fill(std::chrono::steady_clock::time_point deadline) {
    if (ended_) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{out_, POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    char bytes[65536];
    const ssize_t n = ::read(out_, bytes, sizeof bytes);
    if (n <= 0) {
        ended_ = true;
        return false;
    }
    pending_.append(bytes, static_cast<std::size_t>(n));
    return true;
}

std::optional<std::string> Process::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end + 1);
            pending_.erase(0, end + 1);
            return line;
        }
        if (!fill(deadline)) return std::nullopt;
    }
}

std::string Process::readRest(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fill(deadline)) {
    }
    return std::exchange(pending_, {});
}

int Process::wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

void Process::terminate(std::chrono::milliseconds grace) {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        ::usleep(5000);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string Process::standardError() {
    std::string text;
    char bytes[4096];
    for (ssize_t n; (n = ::read(err_, bytes, sizeof bytes)) > 0;)
        text.append(bytes, static_cast<std::size_t>(n));
    return text;
}

} // namespace host::testing
