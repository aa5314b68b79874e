// brevail: reads one JSON job on standard input, prints one JSON report on standard
// output (exit status 0) or one fixed message on standard error (exit status 1).

#include "attachments/image/process_image.h"
#include "attachments/job.h"
#include "attachments/messages.h"
#include "attachments/pdf/process_pdf.h"

#include <cerrno>
#include <csignal>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// Reads standard input to its end, so the writer is never left blocked, but keeps no more
// than the first `maxJobBytes` bytes: enough for the driver to refuse a longer job.
// Returns false when reading fails.
bool readJob(std::string& job) {
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        std::size_t keep = std::min<std::size_t>(attachments::maxJobBytes - job.size(), n);
        job.append(chunk, keep);
    }
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

int main() {
    // A reader that went away makes a failed write, not a killed process.
    std::signal(SIGPIPE, SIG_IGN);
    attachments::JobOutcome outcome;
    std::string job;
    if (readJob(job)) {
        outcome = attachments::runJob(job, {attachments::processImage, attachments::processPdf});
    } else {
        outcome = {"", std::string(attachments::kProcessingFailed), 1};
    }
    if (outcome.status == 0 && !writeAll(STDOUT_FILENO, outcome.out)) {
        // The report could not be delivered: that is a failure like any other.
        outcome = {"", std::string(attachments::kProcessingFailed), 1};
    }
    if (outcome.status != 0) writeAll(STDERR_FILENO, outcome.err);
    return outcome.status;
}
