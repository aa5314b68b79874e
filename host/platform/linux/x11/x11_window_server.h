#pragma once
// The window list of the X display: the root's children, front to back. Numbers are client
// windows, bounds those of their window-manager frames (see x_connection.h).

#include "host/platform/linux/x11/display_link.h"
#include "host/platform/window_server_port.h"

#include <memory>

namespace host::platform::x11 {

class X11WindowServer final : public WindowServerPort {
public:
    explicit X11WindowServer(std::shared_ptr<DisplayLink> link) : link_(std::move(link)) {}
    std::optional<std::vector<WindowInfo>> windowList(WindowListKind kind) override;

private:
    std::shared_ptr<DisplayLink> link_;
};

} // namespace host::platform::x11
