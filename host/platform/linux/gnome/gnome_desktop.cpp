#include "host/platform/linux/gnome/gnome_desktop.h"

#include "host/platform/linux/gnome/gnome_display_facts.h"
#include "host/platform/linux/gnome/remote_desktop_keys.h"
#include "host/platform/linux/gnome/screencast_capture.h"
#include "host/platform/linux/gnome/shell_placement.h"
#include "host/platform/linux/gnome/shell_windows.h"

#include <cstdlib>

namespace host::platform::gnome {

std::optional<linux_desktop::DisplayServer> openGnomeDesktop() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland == nullptr || *wayland == '\0') return std::nullopt;
    auto bus = linux_desktop::dbus::connectSessionBus();
    if (!bus) return std::nullopt;
    auto facts = std::make_unique<GnomeDisplayFacts>(glib::share(bus.get()));
    if (!facts->reachable()) return std::nullopt;
    linux_desktop::DisplayServer server;
    server.capture = std::make_unique<ScreenCastCapture>(glib::share(bus.get()));
    server.events = std::make_unique<RemoteDesktopKeys>(glib::share(bus.get()));
    server.placement = std::make_unique<ShellPlacement>(glib::share(bus.get()));
    server.windowServer = std::make_unique<ShellWindowServer>(std::move(bus));
    server.facts = std::move(facts);
    return server;
}

} // namespace host::platform::gnome
