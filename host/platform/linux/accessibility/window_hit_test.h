#pragma once
// Which window lies in front at a screen point, according to the window server: the first
// window of the front-to-back list whose bounds contain the point (minimum edges included,
// maximum edges excluded) and that is not fully transparent. AT-SPI itself knows nothing of
// stacking, so this decides whose accessibles a point belongs to.

#include "host/platform/window_server_port.h"

#include <cstdint>
#include <optional>

namespace host::platform::linux_atspi {

struct FrontWindow {
    std::int32_t pid = 0;
    Rect bounds; // standardised: non-negative width and height
};

// Nothing when no window is there or the front-most one has no usable owner.
std::optional<FrontWindow> frontWindowAt(WindowServerPort& windows, double x, double y);

} // namespace host::platform::linux_atspi
