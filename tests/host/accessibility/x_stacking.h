#pragma once
// The X stacking order as the tests see it, read straight from the X server: the window
// manager's client list, front to back, each with its owner's pid and the bounds of its
// window-manager frame in root coordinates. Only what the accessibility hit test needs.

#include "common/unique_handle.h"
#include "host/platform/window_server_port.h"

#include <xcb/xcb.h>

#include <memory>

namespace host::test {

class XStacking final : public platform::WindowServerPort {
public:
    XStacking(); // connects to $DISPLAY
    bool connected() const;
    std::optional<std::vector<platform::WindowInfo>>
    windowList(platform::WindowListKind kind) override;

private:
    common::Owned<xcb_connection_t, xcb_disconnect> connection_;
    xcb_window_t root_ = 0;
};

} // namespace host::test
