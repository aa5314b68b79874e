#include "host/actions/input_bodies.h"

#include "host/actions/params.h"
#include "host/inventory/window_fields.h"
#include "host/session/host.h"
#include "host/session/host_error.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace host {
namespace {

[[noreturn]] void fail(const char* code) {
    throw HostError{code};
}

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

common::Json click(Host& host, const common::Json& params, ActionContext& context) {
    const auto x = params::number(params, "x");
    const auto y = params::number(params, "y");
    const auto& bounds = context.bounds;
    if (!x || !y || !std::isfinite(*x) || !std::isfinite(*y) || *x < 0 || *y < 0 ||
        *x >= bounds.width || *y >= bounds.height)
        fail("outside_window");
    const platform::Point p{bounds.x + *x, bounds.y + *y};

    auto& platform = host.platform();
    auto hit = windowAt(platform.windowServer, p);
    if (!hit || asWindowNumber(hit->number) != context.windowId) fail("window_obscured");

    auto& ax = platform.accessibility;
    platform::ElementAtResult found;
    {
        auto systemWide = ax.createSystemWide();
        if (!systemWide) fail("target_unavailable");
        found = ax.elementAtPosition(*systemWide, single(p.x), single(p.y));
    }
    if (found.status != 0 || !found.element) fail("target_unavailable");
    if (ax.pid(*found.element).value_or(0) != context.pid) fail("unsupported_click");
    if (ax.performAction(*found.element, "AXPress") != 0) fail("unsupported_click");
    return completed();
}

} // namespace host
