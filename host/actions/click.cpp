#include "host/actions/input_bodies.h"

#include "host/base/host_error.h"
#include "host/base/params.h"
#include "host/inventory/window_fields.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace host {
namespace {

// The window that would receive a click at `p`: the front-most one containing it that is
// not fully transparent (no alpha counts as opaque). Windows of every owner and layer count.
std::optional<platform::WindowInfo> windowAt(platform::WindowServerPort& server,
                                             platform::Point p) {
    auto list = server.windowList(platform::WindowListKind::OnScreen);
    if (!list) return std::nullopt;
    for (auto& window : *list) {
        if (!window.bounds || !containsPoint(*window.bounds, p)) continue;
        if (window.alpha && *window.alpha <= 0) continue;
        return std::move(window);
    }
    return std::nullopt;
}

// Rounded to the nearest single-precision value; kept inside its range, where no window is.
float single(double value) {
    constexpr double largest = std::numeric_limits<float>::max();
    return static_cast<float>(std::clamp(value, -largest, largest));
}

} // namespace

common::Json click(Platform& platform, const common::Json& params, ActionContext& context) {
    const auto x = params::number(params, "x");
    const auto y = params::number(params, "y");
    const auto& bounds = context.bounds;
    if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y) || *x < 0 || *y < 0 ||
        *x >= bounds.width || *y >= bounds.height)
        fail(ErrorCode::OutsideWindow);
    const platform::Point p{bounds.x + *x, bounds.y + *y};

    auto hit = windowAt(platform.windowServer, p);
    if (!hit || asWindowNumber(hit->number) != context.windowId) fail(ErrorCode::WindowObscured);

    auto& ax = platform.accessibility;
    platform::ElementAtResult found;
    {
        auto systemWide = ax.createSystemWide();
        if (!systemWide) fail(ErrorCode::TargetUnavailable);
        found = ax.elementAtPosition(*systemWide, single(p.x), single(p.y));
    }
    if (found.status != platform::AxStatus::Success || !found.element)
        fail(ErrorCode::TargetUnavailable);
    if (ax.pid(*found.element).value_or(0) != context.pid) fail(ErrorCode::UnsupportedClick);
    if (ax.performAction(*found.element, "AXPress") != platform::AxStatus::Success)
        fail(ErrorCode::UnsupportedClick);
    return completed();
}

} // namespace host
