#include "host/platform/linux/desktop/desktop_ports.h"

#include "host/platform/linux/desktop/composite_capture.h"
#include "host/platform/linux/desktop/x11_events.h"
#include "host/platform/linux/desktop/x11_window_server.h"
#include "host/platform/linux/desktop/x_connection.h"

namespace host::platform::x11 {

namespace {

std::shared_ptr<XConnection> processConnection() {
    static const std::shared_ptr<XConnection> connection = XConnection::open();
    return connection;
}

} // namespace

DesktopPorts openDesktopPorts() {
    std::shared_ptr<XConnection> x = XConnection::open();
    DesktopPorts ports;
    ports.windowServer = std::make_unique<X11WindowServer>(x);
    ports.capture = std::make_unique<CompositeCapture>(x);
    ports.events = std::make_unique<X11Events>(std::move(x));
    return ports;
}

std::unique_ptr<WindowServerPort> makeWindowServer() {
    return std::make_unique<X11WindowServer>(processConnection());
}

std::unique_ptr<CapturePort> makeCapture() {
    return std::make_unique<CompositeCapture>(processConnection());
}

std::unique_ptr<EventPort> makeEvents() {
    return std::make_unique<X11Events>(processConnection());
}

} // namespace host::platform::x11
