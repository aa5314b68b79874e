// skelmor: the computer-use host. JSON requests on standard input, one per line; JSON
// answers on standard output, one per line. No options, no configuration.

#include "host/channel/glib_main_queue.h"
#include "host/channel/request_loop.h"
#include "host/channel/serve.h"
#include "host/platform/linux/linux_platform.h"

#include <glib.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

void discardLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

GLogWriterOutput discardStructuredLog(GLogLevelFlags, const GLogField*, gsize, gpointer) {
    return G_LOG_WRITER_HANDLED;
}

void discardPrint(const gchar*) {}

// Nothing is ever written on standard error: the libraries' own messages are dropped, and
// in release builds the descriptor itself leads nowhere.
void silenceStandardError() {
    g_log_set_default_handler(&discardLog, nullptr);
    g_log_set_writer_func(&discardStructuredLog, nullptr, nullptr);
    g_set_printerr_handler(&discardPrint);
    g_set_print_handler(&discardPrint);
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
    // The queue outlives the desktop: a service that completes late posts into a closed
    // queue, which drops the job.
    host::GlibMainQueue queue;
    auto desktop = host::platform::linux_desktop::makeLinuxPlatform();
    host::serve(queue, desktop->platform(), STDIN_FILENO, STDOUT_FILENO, &host::exitOnOverflow);
    return 0;
}
