#include "host/platform/linux/session/x_display.h"

#include <xcb/composite.h>
#include <xcb/screensaver.h>

#include <glib-unix.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace host::platform::linux_desktop {
namespace {

template <typename T> struct FreeReply {
    void operator()(T* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeReply<T>>;

xcb_window_t rootOf(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    return screens.rem > 0 ? screens.data->root : xcb_window_t{XCB_WINDOW_NONE};
}

// The first 32-bit value of a property, if it has one of the expected type.
std::optional<std::uint32_t> cardinal(xcb_connection_t* connection, xcb_window_t window,
                                      xcb_atom_t property, xcb_atom_t type) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, type, 0, 1), nullptr));
    if (!reply || reply->type != type || reply->format != 32 ||
        xcb_get_property_value_length(reply.get()) < 4)
        return std::nullopt;
    std::uint32_t value;
    std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
    return value;
}

} // namespace

XcbConnection connectDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return nullptr;
    XcbConnection connection(xcb_connect(display, nullptr));
    if (!connection || xcb_connection_has_error(connection.get())) return nullptr;
    return connection;
}

bool XDisplay::local() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr) return false;
    const std::string name(display);
    if (!name.empty() && name.front() == '/') return true; // a socket path
    const auto colon = name.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = name.substr(0, colon);
    return host.empty() || host == "unix";
}

xcb_connection_t* XDisplay::connection() {
    if (connection_ && xcb_connection_has_error(connection_.get())) disconnect();
    if (!connection_) connection_ = connectDisplay();
    return connection_.get();
}

void XDisplay::disconnect() {
    connection_.reset();
    atoms_.reset(); // atoms belong to the server: a new connection may reach another one
}

bool XDisplay::reachable() {
    xcb_connection_t* c = connection();
    if (c == nullptr) return false;
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (reply) return true;
    disconnect(); // broken: try a new connection next time
    return false;
}

bool XDisplay::hasComposite() {
    xcb_connection_t* c = connection();
    if (c == nullptr) return false;
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_composite_id);
    return extension != nullptr && extension->present;
}

std::optional<XDisplay::ActiveWindowAtoms>
XDisplay::activeWindowAtoms(xcb_connection_t* connection) {
    if (atoms_) return atoms_;
    const auto ask = [connection](const char* name) {
        return xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name);
    };
    // Both requests go out before either reply is awaited: one round trip.
    const auto activeCookie = ask("_NET_ACTIVE_WINDOW");
    const auto pidCookie = ask("_NET_WM_PID");
    Reply<xcb_intern_atom_reply_t> active(xcb_intern_atom_reply(connection, activeCookie, nullptr));
    Reply<xcb_intern_atom_reply_t> pid(xcb_intern_atom_reply(connection, pidCookie, nullptr));
    // An atom that does not exist yet (no window manager so far) is asked again next time.
    if (!active || !pid || active->atom == XCB_ATOM_NONE || pid->atom == XCB_ATOM_NONE)
        return std::nullopt;
    atoms_ = ActiveWindowAtoms{active->atom, pid->atom};
    return atoms_;
}

std::optional<std::int32_t> XDisplay::activeWindowPid() {
    xcb_connection_t* c = connection();
    if (c == nullptr) return std::nullopt;
    const auto atoms = activeWindowAtoms(c);
    if (!atoms) return std::nullopt;
    const auto window = cardinal(c, rootOf(c), atoms->activeWindow, XCB_ATOM_WINDOW);
    if (!window || *window == XCB_WINDOW_NONE) return std::nullopt;
    const auto pid = cardinal(c, *window, atoms->pid, XCB_ATOM_CARDINAL);
    if (!pid || *pid == 0 || *pid > 0x7FFFFFFFu) return std::nullopt;
    return static_cast<std::int32_t>(*pid);
}

ScreenSaverEvents::ScreenSaverEvents(GMainContext* context, std::function<void(bool)> changed)
    : connection_(connectDisplay()), changed_(std::move(changed)) {
    if (!connection_) return;
    xcb_connection_t* c = connection_.get();
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_screensaver_id);
    if (extension == nullptr || !extension->present) return;
    firstEvent_ = extension->first_event;
    Reply<xcb_screensaver_query_version_reply_t> version(
        xcb_screensaver_query_version_reply(c, xcb_screensaver_query_version(c, 1, 1), nullptr));
    if (!version) return;
    xcb_void_cookie_t selected =
        xcb_screensaver_select_input_checked(c, rootOf(c), XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
    if (std::unique_ptr<xcb_generic_error_t, FreeReply<xcb_generic_error_t>> error{
            xcb_request_check(c, selected)})
        return;
    source_ = g_unix_fd_source_new(xcb_get_file_descriptor(c),
                                   static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
    g_source_set_callback(source_, G_SOURCE_FUNC(&ScreenSaverEvents::readable), this, nullptr);
    g_source_attach(source_, context);
    // Events that arrived while the selection was being checked.
    drain();
}

ScreenSaverEvents::~ScreenSaverEvents() {
    if (source_ != nullptr) {
        g_source_destroy(source_);
        g_source_unref(source_);
    }
}

gboolean ScreenSaverEvents::readable(gint, GIOCondition, gpointer self) {
    return static_cast<ScreenSaverEvents*>(self)->drain() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

bool ScreenSaverEvents::drain() {
    xcb_connection_t* c = connection_.get();
    while (std::unique_ptr<xcb_generic_event_t, FreeReply<xcb_generic_event_t>> event{
        xcb_poll_for_event(c)}) {
        if ((event->response_type & 0x7F) != firstEvent_ + XCB_SCREENSAVER_NOTIFY) continue;
        const auto* notify = reinterpret_cast<const xcb_screensaver_notify_event_t*>(event.get());
        if (notify->state == XCB_SCREENSAVER_STATE_ON)
            changed_(true);
        else if (notify->state == XCB_SCREENSAVER_STATE_OFF)
            changed_(false);
    }
    // A connection that broke stays silent for good.
    return xcb_connection_has_error(c) == 0;
}

} // namespace host::platform::linux_desktop
