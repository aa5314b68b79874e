// Arbitrary input, cut into arbitrary chunks, through the request loop and the dispatcher
// over the fake session, in process. Answers are checked for shape and discarded.

#include "host/channel/request_loop.h"
#include "tests/host/core/inert_ports.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct CheckingSink : host::AnswerSink {
    void write(std::string_view line) override {
        // One line each, ending with its only line feed, holding an object.
        if (line.empty() || line.back() != '\n' || line.find('\n') != line.size() - 1 ||
            line.front() != '{')
            std::abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    host::testing::FakeDesktopParts desktop;
    host::testing::ManualQueue queue;
    host::Host host(desktop.platform, queue);
    CheckingSink answers;
    bool overflowed = false;
    host::RequestLoop loop(host, answers, [&] { overflowed = true; });
    // The first byte scripts the session and notifications; the second sets the chunk size.
    if (size < 2) return 0;
    const std::uint8_t script = data[0];
    const std::size_t chunk = 1 + data[1] % 97;
    desktop.session.info =
        (script & 1)
            ? std::nullopt
            : std::optional(host::platform::SessionInfo{(script & 2) != 0, (script & 4) != 0});
    desktop.session.screenAllowed = (script & 8) != 0;
    for (std::size_t at = 2; at < size && !overflowed; at += chunk) {
        loop.chunk(
            std::string_view(reinterpret_cast<const char*>(data) + at, std::min(chunk, size - at)));
        if (script & 16)
            desktop.session.deliver(host::platform::ScreenNotification::ScreenIsLocked);
        queue.runOne();
    }
    queue.runAll();
    return 0;
}
