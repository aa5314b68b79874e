#pragma once
// The GNOME Wayland desktop: the window list and focus from the project's Shell extension,
// one window's pixels from Mutter's ScreenCast, Tab through Mutter's RemoteDesktop, and the
// display facts from the Shell and Mutter, all over the session bus.

#include "host/platform/linux/display_server.h"

#include <optional>

namespace host::platform::gnome {

// Nothing unless WAYLAND_DISPLAY names a socket and GNOME Shell answers on the session bus.
std::optional<linux_desktop::DisplayServer> openGnomeDesktop();

} // namespace host::platform::gnome
