#pragma once
// The X11 desktop: the window list, Composite capture and keyboard events over the
// process's one X connection (kept while the server lives, since the capture relies on the
// redirection it set up, and made again when the server comes back), and the display facts
// on a connection of their own.

#include "host/platform/linux/display_server.h"

#include <optional>

namespace host::platform::x11 {

// Nothing when DISPLAY reaches no X server.
std::optional<linux_desktop::DisplayServer> openX11Desktop();

} // namespace host::platform::x11
