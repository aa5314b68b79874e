#pragma once
// The top-level windows of the X display as the window server's list sees them: the root's
// children, front to back, each with the application window (client) it frames.

#include "host/platform/linux/window_layers.h"
#include "host/platform/linux/x11/x_connection.h"
#include "host/platform/window_server_port.h"

#include <optional>
#include <vector>

namespace host::platform::x11 {

namespace layer = linux_desktop::layer;

struct TopLevel {
    xcb_window_t frame = XCB_NONE;  // the root's child
    xcb_window_t client = XCB_NONE; // the application's window inside it, or the frame itself
    bool overrideRedirect = false;
    bool desktop = false; // a desktop element (_NET_WM_WINDOW_TYPE_DESKTOP)
    WindowInfo info;
};

// The viewable top-level windows, front to back; nothing when the server gives no list.
std::optional<std::vector<TopLevel>> topLevels(const XConnection& x);

// The root's child that holds `window` (the window itself when it is one); nothing when
// `window` does not exist.
std::optional<xcb_window_t> frameOf(const XConnection& x, xcb_window_t window);

// The client (the window with WM_STATE) at or below `window`, searching a few levels down.
std::optional<xcb_window_t> clientWithin(const XConnection& x, xcb_window_t window);

} // namespace host::platform::x11
