#include "host/actions/input_bodies.h"

#include "host/base/host_error.h"
#include "host/base/params.h"

namespace host {
namespace {

constexpr std::uint16_t kTabKeyCode = 48;

} // namespace

common::Json pressKey(Platform& platform, const common::Json& params, ActionContext& context) {
    if (params::string(params, "key") != "Tab") fail(ErrorCode::UnsupportedKey);

    auto& events = platform.events;
    // Both events exist before either is posted, so a failure posts nothing.
    auto down = events.createKeyboardEvent(kTabKeyCode, true);
    if (!down) fail(ErrorCode::InputUnavailable);
    auto up = events.createKeyboardEvent(kTabKeyCode, false);
    if (!up) fail(ErrorCode::InputUnavailable);
    // A key the platform did not take for the process is no key pressed.
    if (!events.postToPid(context.pid, *down)) fail(ErrorCode::InputUnavailable);
    if (!events.postToPid(context.pid, *up)) fail(ErrorCode::InputUnavailable);
    return completed();
}

} // namespace host
