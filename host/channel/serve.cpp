#include "host/channel/serve.h"

#include "host/channel/answer.h"
#include "host/channel/input_reader.h"
#include "host/channel/request_loop.h"
#include "host/session/host.h"

#include <utility>

namespace host {

void serve(MainLoop& loop, platform::Platform& platform, int in, int out,
           std::function<void()> overflow) {
    Host host(platform, loop);
    FdAnswerSink answers(out);
    RequestLoop requests(host, platform, loop, answers, std::move(overflow));
    InputReader reader(
        in,
        [&loop, &requests](std::string bytes, InputReader::SlotToken slot) {
            loop.post([&requests, bytes = std::move(bytes), slot = std::move(slot)] {
                requests.chunk(bytes);
            });
        },
        // End of input: the termination runs after everything queued so far and drops
        // everything queued after it.
        [&loop] { loop.post([&loop] { loop.quit(); }); });
    loop.run();
}

} // namespace host
