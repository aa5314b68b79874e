#pragma once
// The window list of the in-memory desktop, front to back.

#include "host/platform/window_server_port.h"

#include <set>
#include <stdexcept>

namespace host::platform::fake {

class FakeWindowServer : public platform::WindowServerPort {
public:
    // Nothing: the window server gives no list at all.
    std::optional<std::vector<platform::WindowInfo>> windows{std::in_place};
    // Listed only by the every-window kind, after `windows` (the desktop and its icons).
    std::vector<platform::WindowInfo> desktopElements;
    std::set<platform::WindowListKind> missing; // kinds the server gives no list for
    bool throwing = false;                      // the service fails with an exception
    std::vector<platform::WindowListKind> requests;

    std::optional<std::vector<platform::WindowInfo>>
    windowList(platform::WindowListKind kind) override;
};

} // namespace host::platform::fake
