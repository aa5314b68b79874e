// Arbitrary input, cut into arbitrary chunks, through the request loop and the dispatcher
// over the fake session, in process. Every answer must be one line of one JSON object with
// exactly `id` and one of `result` or `error`; the pending bound must hold.

#include "fuzz/max_len.h"
#include "host/channel/request_loop.h"
#include "host/session/host.h"
#include "tests/support/manual_queue.h"
#include "tests/support/no_ports.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// The two leading bytes that script the run (see below).
constexpr std::size_t kScript = 2;

struct CheckingSink : host::AnswerSink {
    void write(std::string_view line) override {
        if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1) std::abort();
        auto answer = common::parseStrict(line.substr(0, line.size() - 1));
        if (!answer || !answer->is_object() || answer->size() != 2 || !answer->contains("id") ||
            !(*answer)["id"].is_string() || answer->contains("result") == answer->contains("error"))
            std::abort();
        if (answer->contains("result") && !(*answer)["result"].is_object()) std::abort();
        if (answer->contains("error") && !(*answer)["error"].is_string()) std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Past the pending bound, so that lines at it and just over it are tried.
    fuzzing::defaultMaxLen(argc, argv, kScript + host::pendingLimit + 4096);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kScript) return 0;
    test_support::FakeDesktopParts desktop;
    test_support::ManualQueue queue;
    host::Host host(desktop.platform, queue);
    CheckingSink answers;
    bool overflowed = false;
    host::RequestLoop loop(host, desktop.platform, queue, answers, [&] { overflowed = true; });
    // The first byte scripts the session and notifications; the second sets the chunk size.
    const std::uint8_t script = data[0];
    const std::size_t chunk = 1 + data[1] % 97;
    desktop.session.info =
        (script & 1)
            ? std::nullopt
            : std::optional(host::platform::SessionInfo{(script & 2) != 0, (script & 4) != 0});
    desktop.session.screenAllowed = (script & 8) != 0;
    std::size_t fed = 0;
    for (std::size_t at = kScript; at < size && !overflowed; at += chunk) {
        const std::size_t length = std::min(chunk, size - at);
        loop.chunk(std::string_view(reinterpret_cast<const char*>(data) + at, length));
        fed += length;
        if (script & 16)
            desktop.session.deliver(host::platform::ScreenNotification::ScreenIsLocked);
        queue.runOne();
    }
    // Overflow comes exactly when more than the bound is pending, and nothing pends past it.
    if (!overflowed && host.buffer().size() > host::pendingLimit) std::abort();
    if (overflowed && fed <= host::pendingLimit) std::abort();
    queue.runAll();
    return 0;
}
