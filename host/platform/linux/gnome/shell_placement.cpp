#include "host/platform/linux/gnome/shell_placement.h"

namespace host::platform::gnome {
namespace {

// Where the toolkit's coordinates start within the screen, when `extents` describes this
// window's surface: at the buffer's origin for a Wayland client (extents at 0, 0), nowhere
// else for one that reports screen coordinates (extents at the buffer's place).
std::optional<Point> originIn(const ShellWindow& window, const Rect& extents) {
    const Rect& buffer = window.buffer;
    if (extents.width != buffer.width || extents.height != buffer.height) return std::nullopt;
    if (extents.x == 0 && extents.y == 0) return Point{buffer.x, buffer.y};
    if (extents.x == buffer.x && extents.y == buffer.y) return Point{0, 0};
    return std::nullopt;
}

} // namespace

std::optional<linux_desktop::Placement> placeSurface(const std::vector<ShellWindow>& windows,
                                                     std::int32_t pid, const Rect& extents,
                                                     std::string_view title) {
    struct Fit {
        linux_desktop::Placement placement;
        bool titled;
    };
    std::vector<Fit> fits;
    for (const ShellWindow& window : windows) {
        if (pid <= 0 || window.pid != pid) continue;
        if (const auto origin = originIn(window, extents))
            fits.push_back({{*origin, window.frame}, window.title == title});
    }
    if (fits.size() == 1) return fits.front().placement;
    std::erase_if(fits, [](const Fit& fit) { return !fit.titled; });
    if (fits.size() == 1) return fits.front().placement;
    return std::nullopt; // none, or several alike: no guess
}

std::optional<linux_desktop::Placement> ShellPlacement::place(std::int32_t pid, const Rect& extents,
                                                              std::string_view title) {
    const auto shell = askShell(bus_.get());
    if (!shell) return std::nullopt;
    return placeSurface(shell->windows, pid, extents, title);
}

} // namespace host::platform::gnome
