#pragma once
// The X display as the session sees it: reachable or not, Composite or not, the active
// window's owner, and the MIT-SCREEN-SAVER notifications.

#include <xcb/xcb.h>

#include <glib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace host::platform::linux_desktop {

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XcbConnection = std::unique_ptr<xcb_connection_t, XcbDisconnect>;

// A connection to DISPLAY; nothing when there is no display or it cannot be reached.
XcbConnection connectDisplay();

// Queries on one connection, opened when first needed and again after it broke.
class XDisplay {
public:
    // True when the display answers a round trip now.
    bool reachable();
    // DISPLAY names a display of this machine reached through a local socket (":0",
    // "unix:0"), not one over the network (a forwarded "localhost:10" included).
    static bool local();
    bool hasComposite();
    // The process owning the active window (_NET_ACTIVE_WINDOW, _NET_WM_PID).
    std::optional<std::int32_t> activeWindowPid();

private:
    struct ActiveWindowAtoms {
        xcb_atom_t activeWindow;
        xcb_atom_t pid;
    };

    xcb_connection_t* connection();
    void disconnect();
    // The two atoms, interned once per connection (each asking is a round trip).
    std::optional<ActiveWindowAtoms> activeWindowAtoms(xcb_connection_t* connection);

    XcbConnection connection_;
    std::optional<ActiveWindowAtoms> atoms_;
};

// Display sleep (screen saver On) and wake (Off), read on a connection of its own and
// dispatched from a GLib main context.
class ScreenSaverEvents {
public:
    // Nothing is watched when there is no display or no MIT-SCREEN-SAVER extension.
    ScreenSaverEvents(GMainContext* context, std::function<void(bool asleep)> changed);
    ~ScreenSaverEvents();
    ScreenSaverEvents(const ScreenSaverEvents&) = delete;
    ScreenSaverEvents& operator=(const ScreenSaverEvents&) = delete;
    bool watching() const { return source_ != nullptr; }

private:
    static gboolean readable(gint fd, GIOCondition condition, gpointer self);
    bool drain();

    XcbConnection connection_;
    std::function<void(bool)> changed_;
    std::uint8_t firstEvent_ = 0;
    GSource* source_ = nullptr;
};

} // namespace host::platform::linux_desktop
