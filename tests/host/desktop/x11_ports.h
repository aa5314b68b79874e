#pragma once
// The X11 desktop's ports, for the tests and the benchmark that run on the virtual desktop.

#include "host/platform/linux/x11/x11_desktop.h"

#include <stdexcept>
#include <utility>

namespace desktop_test {

using DesktopPorts = host::platform::linux_desktop::DisplayServer;

// Throws when DISPLAY reaches no X server.
inline DesktopPorts openDesktopPorts() {
    auto server = host::platform::x11::openX11Desktop();
    if (!server) throw std::runtime_error("DISPLAY reaches no X server");
    return std::move(*server);
}

} // namespace desktop_test
