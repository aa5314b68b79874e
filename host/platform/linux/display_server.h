#pragma once
// What a Linux desktop backend supplies: the ports that depend on its display server, and
// the display facts the login session reads. The rest of the platform (bundles, seals,
// processes, accessibility, the buses) is the same on every Linux desktop.

#include "host/platform/capture_port.h"
#include "host/platform/event_port.h"
#include "host/platform/linux/display_facts.h"
#include "host/platform/linux/surface_placement.h"
#include "host/platform/window_server_port.h"

#include <memory>

namespace host::platform::linux_desktop {

struct DisplayServer {
    std::unique_ptr<WindowServerPort> windowServer;
    std::unique_ptr<CapturePort> capture;
    std::unique_ptr<EventPort> events;
    std::unique_ptr<DisplayFacts> facts; // null: no display server
    // null: toolkits report screen coordinates themselves
    std::unique_ptr<SurfacePlacement> placement;
};

} // namespace host::platform::linux_desktop
