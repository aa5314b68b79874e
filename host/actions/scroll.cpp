#include "host/actions/input_bodies.h"

#include "host/actions/ax_values.h"
#include "host/base/host_error.h"
#include "host/base/params.h"

namespace host {

common::Json scroll(Platform& platform, const common::Json& params, ActionContext& context) {
    const HostError refused{ErrorCode::UnsupportedScroll};
    const auto direction = params::string(params, "direction");
    if (direction != "up" && direction != "down") throw refused;

    auto& ax = platform.accessibility;
    auto read = ax.copyAttribute(*context.application, "AXFocusedUIElement");
    if (read.status != platform::AxStatus::Success) throw refused;
    auto element = elementValue(read);
    if (!element) throw refused;
    // Only the focused window's own content scrolls; the read's status does not count.
    auto windowRead = ax.copyAttribute(*element, "AXWindow");
    auto window = elementValue(windowRead);
    if (!window || !ax.equal(*window, *context.focusedWindow)) throw refused;

    const char* action = direction == "down" ? "AXScrollDownByPage" : "AXScrollUpByPage";
    if (ax.performAction(*element, action) != platform::AxStatus::Success) throw refused;
    return completed();
}

} // namespace host
