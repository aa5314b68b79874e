#include "host/platform/linux/x11/x11_desktop.h"

#include "host/platform/linux/x11/composite_capture.h"
#include "host/platform/linux/x11/x11_display.h"
#include "host/platform/linux/x11/x11_events.h"
#include "host/platform/linux/x11/x11_window_server.h"
#include "host/platform/linux/x11/x_connection.h"

namespace host::platform::x11 {

std::optional<linux_desktop::DisplayServer> openX11Desktop() {
    std::shared_ptr<XConnection> x = XConnection::open();
    if (!x) return std::nullopt;
    auto link = std::make_shared<DisplayLink>(std::move(x));
    linux_desktop::DisplayServer server;
    server.windowServer = std::make_unique<X11WindowServer>(link);
    server.capture = std::make_unique<CompositeCapture>(link);
    server.events = std::make_unique<X11Events>(std::move(link));
    server.facts = std::make_unique<X11DisplayFacts>();
    return server;
}

} // namespace host::platform::x11
