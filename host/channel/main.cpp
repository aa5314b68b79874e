// skelmor: the computer-use host. JSON requests on standard input, one per line; JSON
// answers on standard output, one per line. No options, no configuration.

#include "host/channel/request_loop.h"
#include "host/channel/serve.h"
#include "host/platform/backend.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Nothing is ever written on standard error: in release builds the descriptor leads
// nowhere (the backend keeps its libraries' own messages to themselves).
void silenceStandardError() {
#ifdef NDEBUG
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
#endif
}

} // namespace

int main() {
    // A client that closes its end of standard output must not kill the host in the middle
    // of a write: the write fails with EPIPE, the answer is lost, and the host carries on
    // until its input ends.
    std::signal(SIGPIPE, SIG_IGN);
    silenceStandardError();
    auto backend = host::platform::openBackend();
    host::serve(backend->mainLoop(), backend->platform(), STDIN_FILENO, STDOUT_FILENO,
                &host::exitOnOverflow);
    return 0;
}
