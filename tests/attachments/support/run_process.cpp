#include "tests/attachments/support/run_process.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace attachments::testing {
namespace {

// Both ends of a pipe, closed when no longer wanted.
struct Pipe {
    int fd[2] = {-1, -1};
    Pipe() {
        if (::pipe2(fd, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    }
    ~Pipe() {
        closeEnd(0);
        closeEnd(1);
    }
    void closeEnd(int end) {
        if (fd[end] >= 0) ::close(fd[end]);
        fd[end] = -1;
    }
};

} // namespace

ProcessResult runProcess(const std::string& program, const std::string& input,
                         const std::string& workingDirectory, std::uint64_t addressSpace) {
    Pipe in, out, err;
    pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(in.fd[0], 0);
        ::dup2(out.fd[1], 1);
        ::dup2(err.fd[1], 2);
        if (!workingDirectory.empty() && ::chdir(workingDirectory.c_str()) != 0) ::_exit(127);
        const rlimit limit{addressSpace, addressSpace};
        if (addressSpace != 0 && ::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(127);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    in.closeEnd(0);
    out.closeEnd(1);
    err.closeEnd(1);
    // Feed standard input and drain both outputs together, so no side ever blocks.
    auto oldPipeHandler = std::signal(SIGPIPE, SIG_IGN);
    ProcessResult result;
    std::size_t written = 0;
    if (input.empty()) in.closeEnd(1);
    while (out.fd[0] >= 0 || err.fd[0] >= 0) {
        pollfd fds[3] = {{in.fd[1], POLLOUT, 0}, {out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (in.fd[1] >= 0 && fds[0].revents) {
            ssize_t n = ::write(in.fd[1], input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<std::size_t>(n);
            if (n < 0 || written == input.size()) in.closeEnd(1);
        }
        std::pair<Pipe*, std::string*> outputs[] = {{&out, &result.out}, {&err, &result.err}};
        for (int i = 0; i < 2; ++i) {
            if (!fds[i + 1].revents) continue;
            char chunk[65536];
            ssize_t n = ::read(outputs[i].first->fd[0], chunk, sizeof chunk);
            if (n > 0)
                outputs[i].second->append(chunk, static_cast<std::size_t>(n));
            else
                outputs[i].first->closeEnd(0);
        }
    }
    std::signal(SIGPIPE, oldPipeHandler);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace attachments::testing
