#pragma once
// Where a toolkit's window coordinates lie on the screen. On X11 a toolkit reports screen
// coordinates itself. On Wayland a client knows only its own surface: GTK reports every
// position relative to its window's surface, shadows included. There the compositor says
// where each surface is, and the accessibility adapter places elements through this port.

#include "host/platform/geometry.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace host::platform::linux_desktop {

struct Placement {
    Point origin; // added to the toolkit's coordinates in that window to give screen ones
    Rect frame;   // the window as the user sees it, without shadows, in screen coordinates
};

class SurfacePlacement {
public:
    virtual ~SurfacePlacement() = default;
    // The top-level window of process `pid` whose accessible reports these extents (in the
    // toolkit's own coordinates) and this title; nothing when no window, or more than one,
    // fits.
    virtual std::optional<Placement> place(std::int32_t pid, const Rect& extents,
                                           std::string_view title) = 0;
};

} // namespace host::platform::linux_desktop
