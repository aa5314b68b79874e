#pragma once
// The X stacking order as the tests see it, read straight from the X server: the window
// manager's client list, front to back, each with its owner's pid and the bounds of its
// window-manager frame in root coordinates. Only what the accessibility hit test needs.

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
    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    std::unique_ptr<xcb_connection_t, Disconnect> connection_;
    xcb_window_t root_ = 0;
};

} // namespace host::test
