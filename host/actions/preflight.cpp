#include "host/actions/preflight.h"

#include "host/actions/ax_values.h"
#include "host/base/host_error.h"
#include "host/base/params.h"
#include "host/session/host.h"

#include <cmath>

namespace host {
namespace {

// Takes the frame out for good, then insists it describes this window, here, recently.
void useUpFrame(Host& host, platform::Clock& clock, const ResolvedTarget& target,
                const common::Json& params) {
    auto frameId = params::string(params, "frameId");
    if (!frameId) fail(ErrorCode::StaleFrame);
    auto frame = host.frames().takeFrame(*frameId);
    if (!frame) fail(ErrorCode::StaleFrame);
    if (frame->windowId != target.windowId || frame->pid != target.pid ||
        !(frame->bounds == target.bounds))
        fail(ErrorCode::StaleFrame);
    if (!isLive(*frame, clock.now())) fail(ErrorCode::StaleFrame);
}

bool within(double a, double b) {
    return std::fabs(a - b) < kGeometryTolerance;
}

// The focused window must lie where the window server puts the target (NaN never does).
void checkGeometry(platform::AccessibilityPort& ax, platform::Element& window,
                   const platform::Rect& bounds) {
    auto position = ax.copyAttribute(window, "AXPosition");
    if (position.status != platform::AxStatus::Success) fail(ErrorCode::TargetUnavailable);
    auto size = ax.copyAttribute(window, "AXSize");
    if (size.status != platform::AxStatus::Success) fail(ErrorCode::TargetUnavailable);
    const auto* point = position.value ? std::get_if<platform::Point>(&*position.value) : nullptr;
    const auto* extent = size.value ? std::get_if<platform::Size>(&*size.value) : nullptr;
    if (!point || !extent) fail(ErrorCode::TargetChanged);
    if (!within(point->x, bounds.x) || !within(point->y, bounds.y) ||
        !within(extent->width, bounds.width) || !within(extent->height, bounds.height))
        fail(ErrorCode::TargetChanged);
}

} // namespace

ActionContext prepareAction(Host& host, platform::Platform& platform, const ResolvedTarget& target,
                            const common::Json& params) {
    if (!platform.session.accessibilityTrusted()) fail(ErrorCode::AccessibilityPermissionRequired);
    useUpFrame(host, platform.clock, target, params);

    auto front = platform.session.frontmostApplication();
    if (!front || front->pid != target.pid) fail(ErrorCode::TargetNotFrontmost);

    auto& ax = platform.accessibility;
    ActionContext context{target.windowId, target.pid, target.bounds, nullptr, nullptr};
    context.application = ax.createApplication(target.pid);
    if (!context.application) fail(ErrorCode::TargetUnavailable);
    ax.setMessagingTimeout(*context.application, kApplicationTimeout); // outcome ignored

    auto focused = ax.copyAttribute(*context.application, "AXFocusedWindow");
    if (focused.status != platform::AxStatus::Success) fail(ErrorCode::TargetUnavailable);
    context.focusedWindow = elementValue(focused);
    if (!context.focusedWindow) fail(ErrorCode::TargetUnavailable);
    checkGeometry(ax, *context.focusedWindow, target.bounds);
    return context;
}

} // namespace host
