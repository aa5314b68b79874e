#include "host/platform/linux/accessibility/window_hit_test.h"

#include <cmath>

namespace host::platform::linux_atspi {
namespace {

Rect standardised(Rect r) {
    if (r.width < 0) {
        r.x += r.width;
        r.width = -r.width;
    }
    if (r.height < 0) {
        r.y += r.height;
        r.height = -r.height;
    }
    return r;
}

bool contains(const Rect& r, double x, double y) {
    return x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height;
}

} // namespace

std::optional<FrontWindow> frontWindowAt(WindowServerPort& windows, double x, double y) {
    const auto list = windows.windowList(WindowListKind::OnScreen);
    if (!list) return std::nullopt;
    for (const auto& window : *list) {
        if (!window.bounds) continue;
        const Rect bounds = standardised(*window.bounds);
        if (!contains(bounds, x, y)) continue;
        if (window.alpha && *window.alpha <= 0) continue; // looked through
        if (!window.ownerPid || *window.ownerPid <= 0 || *window.ownerPid > INT32_MAX)
            return std::nullopt;
        return FrontWindow{static_cast<std::int32_t>(*window.ownerPid), bounds};
    }
    return std::nullopt;
}

} // namespace host::platform::linux_atspi
