#pragma once
// The window server, capture and keyboard ports of the X11 desktop, sharing one X
// connection that lives as long as the longest-lived of them. Without a display (no
// DISPLAY, or the server refuses) they report nothing: no windows, failed captures, no
// keyboard events.

#include "host/platform/capture_port.h"
#include "host/platform/event_port.h"
#include "host/platform/window_server_port.h"

#include <memory>

namespace host::platform::x11 {

struct DesktopPorts {
    std::unique_ptr<WindowServerPort> windowServer;
    std::unique_ptr<CapturePort> capture;
    std::unique_ptr<EventPort> events;
};

// Connects to the display and sets up the window capture, on a connection of their own.
DesktopPorts openDesktopPorts();

// Each port over the process's one connection, made on first use and kept for the life of
// the process (the capture relies on the redirection it set up).
std::unique_ptr<WindowServerPort> makeWindowServer();
std::unique_ptr<CapturePort> makeCapture();
std::unique_ptr<EventPort> makeEvents();

} // namespace host::platform::x11
