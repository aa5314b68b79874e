#include "host/actions/preflight.h"

#include "host/actions/ax_values.h"
#include "host/actions/params.h"
#include "host/session/host.h"
#include "host/session/host_error.h"

#include <cmath>

namespace host {
namespace {

[[noreturn]] void fail(const char* code) {
    throw HostError{code};
}

// Takes the frame out for good, then insists it describes this window, here, recently.
void useUpFrame(Host& host, const ResolvedTarget& target, const common::Json& params) {
    auto frameId = params::string(params, "frameId");
    if (!frameId) fail("stale_frame");
    auto frame = host.frames().takeFrame(*frameId);
    if (!frame) fail("stale_frame");
    if (frame->windowId != target.windowId || frame->pid != target.pid ||
        !(frame->bounds == target.bounds))
        fail("stale_frame");
    if (!isLive(*frame, host.platform().clock.now())) fail("stale_frame");
}

bool within(double a, double b) {
    return std::fabs(a - b) < kGeometryTolerance;
}

// The focused window must lie where the window server puts the target (NaN never does).
void checkGeometry(platform::AccessibilityPort& ax, platform::Element& window,
                   const platform::Rect& bounds) {
    auto position = ax.copyAttribute(window, "AXPosition");
    if (position.status != 0) fail("target_unavailable");
    auto size = ax.copyAttribute(window, "AXSize");
    if (size.status != 0) fail("target_unavailable");
    const auto* point = position.value ? std::get_if<platform::Point>(&*position.value) : nullptr;
    const auto* extent = size.value ? std::get_if<platform::Size>(&*size.value) : nullptr;
    if (!point || !extent) fail("target_changed");
    if (!within(point->x, bounds.x) || !within(point->y, bounds.y) ||
        !within(extent->width, bounds.width) || !within(extent->height, bounds.height))
        fail("target_changed");
}

} // namespace

ActionContext prepareAction(Host& host, const ResolvedTarget& target, const common::Json& params) {
    auto& platform = host.platform();
    if (!platform.session.accessibilityTrusted()) fail("accessibility_permission_required");
    useUpFrame(host, target, params);

    auto front = platform.session.frontmostApplication();
    if (!front || front->pid != target.pid) fail("target_not_frontmost");

    auto& ax = platform.accessibility;
    ActionContext context{target.windowId, target.pid, target.bounds, nullptr, nullptr};
    context.application = ax.createApplication(target.pid);
    if (!context.application) fail("target_unavailable");
    ax.setMessagingTimeout(*context.application, kApplicationTimeout); // outcome ignored

    auto focused = ax.copyAttribute(*context.application, "AXFocusedWindow");
    if (focused.status != 0) fail("target_unavailable");
    context.focusedWindow = elementValue(focused);
    if (!context.focusedWindow) fail("target_unavailable");
    checkGeometry(ax, *context.focusedWindow, target.bounds);
    return context;
}

} // namespace host
