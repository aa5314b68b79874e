#pragma once
// GNOME Shell as the login session sees it: the Shell answers or not, windows can be
// captured (the project's extension tells what is on the screen, and Mutter's ScreenCast
// records one window), the focused window's owner, and Mutter's display power saving.

#include "host/platform/linux/display_facts.h"
#include "host/platform/linux/glib/dbus.h"

namespace host::platform::gnome {

// Mutter's PowerSaveMode: the displays are on (0), in standby, suspended or off (1 to 3),
// or it cannot tell (-1).
std::optional<bool> asleepInMode(std::int32_t mode);

class GnomeDisplayFacts final : public linux_desktop::DisplayFacts {
public:
    explicit GnomeDisplayFacts(linux_desktop::dbus::Connection bus) : bus_(std::move(bus)) {}
    bool reachable() override;
    // A Wayland compositor serves clients of this machine only.
    bool local() override { return true; }
    bool captureAvailable() override;
    std::optional<std::int32_t> activeWindowPid() override;
    std::unique_ptr<Watch> watchSleep(GMainContext* context,
                                      std::function<void(bool asleep)> changed) override;

private:
    linux_desktop::dbus::Connection bus_;
};

} // namespace host::platform::gnome
