#include "host/platform/linux/x11/x11_display.h"

#include "host/platform/linux/glib/glib_handles.h"
#include "host/platform/linux/x11/client_pid.h"
#include "host/platform/linux/x11/properties.h"

#include <xcb/screensaver.h>

#include <glib-unix.h>

#include <cstdlib>
#include <string>

namespace host::platform::x11 {
namespace {

// Display sleep (screen saver On) and wake (Off), read from a GLib main context.
class ScreenSaverWatch final : public linux_desktop::DisplayFacts::Watch {
public:
    ScreenSaverWatch(std::shared_ptr<XConnection> x, GMainContext* context,
                     std::function<void(bool)> changed)
        : x_(std::move(x)), changed_(std::move(changed)) {
        xcb_connection_t* c = x_->get();
        const xcb_query_extension_reply_t* extension =
            xcb_get_extension_data(c, &xcb_screensaver_id);
        if (extension == nullptr || !extension->present) return;
        firstEvent_ = extension->first_event;
        Reply<xcb_screensaver_query_version_reply_t> version(xcb_screensaver_query_version_reply(
            c, xcb_screensaver_query_version(c, 1, 1), nullptr));
        if (!version) return;
        xcb_void_cookie_t selected =
            xcb_screensaver_select_input_checked(c, x_->root(), XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
        if (Reply<xcb_generic_error_t> error{xcb_request_check(c, selected)}) return;
        source_.reset(g_unix_fd_source_new(
            xcb_get_file_descriptor(c), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR)));
        g_source_set_callback(source_.get(), G_SOURCE_FUNC(&ScreenSaverWatch::readable), this,
                              nullptr);
        g_source_attach(source_.get(), context);
        // Events that arrived while the selection was being checked.
        drain();
    }
    ~ScreenSaverWatch() override {
        if (source_) g_source_destroy(source_.get());
    }
    ScreenSaverWatch(const ScreenSaverWatch&) = delete;
    ScreenSaverWatch& operator=(const ScreenSaverWatch&) = delete;

private:
    static gboolean readable(gint, GIOCondition, gpointer self) {
        return static_cast<ScreenSaverWatch*>(self)->drain() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
    }

    bool drain() {
        xcb_connection_t* c = x_->get();
        while (Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            if ((event->response_type & 0x7F) != firstEvent_ + XCB_SCREENSAVER_NOTIFY) continue;
            const auto* notify =
                reinterpret_cast<const xcb_screensaver_notify_event_t*>(event.get());
            if (notify->state == XCB_SCREENSAVER_STATE_ON)
                changed_(true);
            else if (notify->state == XCB_SCREENSAVER_STATE_OFF)
                changed_(false);
        }
        // A connection that broke stays silent for good.
        return x_->usable();
    }

    std::shared_ptr<XConnection> x_;
    std::function<void(bool)> changed_;
    std::uint8_t firstEvent_ = 0;
    glib::GSourceRef source_;
};

} // namespace

bool localDisplay() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr) return false;
    const std::string name(display);
    if (!name.empty() && name.front() == '/') return true; // a socket path
    const auto colon = name.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = name.substr(0, colon);
    return host.empty() || host == "unix";
}

std::shared_ptr<const XConnection> X11DisplayFacts::connection() {
    std::lock_guard lock(mutex_);
    if (x_ && !x_->usable()) x_.reset(); // broken: the server may be back by now
    if (!x_) x_ = XConnection::open(XConnection::Capture::Without);
    return x_;
}

void X11DisplayFacts::forget(const std::shared_ptr<const XConnection>& broken) {
    std::lock_guard lock(mutex_);
    if (x_ == broken) x_.reset();
}

bool X11DisplayFacts::reachable() {
    const auto x = connection();
    if (x == nullptr) return false;
    xcb_connection_t* c = x->get();
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (reply) return true;
    forget(x); // broken: try a new connection next time
    return false;
}

bool X11DisplayFacts::captureAvailable() {
    const auto x = connection();
    return x != nullptr && x->hasComposite();
}

std::optional<std::int32_t> X11DisplayFacts::activeWindowPid() {
    const auto x = connection();
    if (x == nullptr) return std::nullopt;
    const Atoms& a = x->atoms();
    const auto window = cardinal(*x, x->root(), a.netActiveWindow, XCB_ATOM_WINDOW);
    if (!window || *window == XCB_WINDOW_NONE) return std::nullopt;
    const auto pid = clientPid(*x, *window);
    if (!pid || *pid == 0 || *pid > 0x7FFFFFFFu) return std::nullopt;
    return static_cast<std::int32_t>(*pid);
}

std::unique_ptr<linux_desktop::DisplayFacts::Watch>
X11DisplayFacts::watchSleep(GMainContext* context, std::function<void(bool)> changed) {
    auto x = XConnection::open(XConnection::Capture::Without);
    if (!x) return nullptr;
    return std::make_unique<ScreenSaverWatch>(std::move(x), context, std::move(changed));
}

} // namespace host::platform::x11
