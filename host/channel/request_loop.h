#pragma once
// The request loop's jobs: a chunk of standard input is appended to the host's buffer and
// cut into lines; each valid line becomes a request job on the main queue, and each request
// job answers through the sink. Everything here runs on the main thread.

#include "host/base/main_queue.h"
#include "host/channel/answer.h"
#include "host/platform/platform.h"

#include <cstddef>
#include <functional>
#include <string_view>

namespace host {

class Host;

// At most this many bytes may be pending in the buffer after a chunk has been appended.
inline constexpr std::size_t pendingLimit = 65'536;

class RequestLoop {
public:
    // `overflow` ends the process when the pending bound is exceeded (exit status 2, with
    // nothing more written); tests pass their own.
    RequestLoop(Host& host, platform::Platform& platform, MainQueue& queue, AnswerSink& answers,
                std::function<void()> overflow);

    // The chunk job: appends `bytes`, checks the bound over everything pending (complete
    // lines included), then queues one request job per valid complete line, in line order.
    // A trailing partial line waits for the next chunk.
    void chunk(std::string_view bytes);

private:
    void queueRequest(std::string_view line);

    Host& host_;
    platform::Platform& platform_;
    MainQueue& queue_;
    AnswerSink& answers_;
    std::function<void()> overflow_;
};

// Ends the process at once with status 2, without running anything else.
[[noreturn]] void exitOnOverflow();

} // namespace host
