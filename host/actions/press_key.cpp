#include "host/actions/input_bodies.h"

#include "host/actions/params.h"
#include "host/session/host.h"
#include "host/session/host_error.h"

namespace host {
namespace {

constexpr std::uint16_t kTabKeyCode = 48;

} // namespace

common::Json pressKey(Host& host, const common::Json& params, ActionContext& context) {
    if (params::string(params, "key") != "Tab") throw HostError{"unsupported_key"};

    auto& events = host.platform().events;
    // Both events exist before either is posted, so a failure posts nothing.
    auto down = events.createKeyboardEvent(kTabKeyCode, true);
    if (!down) throw HostError{"input_unavailable"};
    auto up = events.createKeyboardEvent(kTabKeyCode, false);
    if (!up) throw HostError{"input_unavailable"};
    events.postToPid(context.pid, *down);
    events.postToPid(context.pid, *up);
    return completed();
}

} // namespace host
