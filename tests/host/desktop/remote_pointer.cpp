#include "remote_pointer.h"

#include <unistd.h>

namespace desktop_test {
namespace {

namespace dbus = host::platform::linux_desktop::dbus;
constexpr const char* kRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr int kLeftButton = 0x110;  // BTN_LEFT
constexpr unsigned kLeftShift = 42; // KEY_LEFTSHIFT

} // namespace

RemotePointer::RemotePointer() : bus_(dbus::connectSessionBus()) {
    dbus::Variant created =
        dbus::call(bus_.get(), kRemoteDesktop, "/org/gnome/Mutter/RemoteDesktop", kRemoteDesktop,
                   "CreateSession", nullptr, "(o)");
    if (!created) return;
    const gchar* path = nullptr;
    g_variant_get(created.get(), "(&o)", &path);
    session_ = path;
    if (!call("Start", nullptr)) {
        session_.clear();
        return;
    }
    // As with keys, the first event after a session starts is lost: spend it on nothing.
    call("NotifyPointerMotionRelative", g_variant_new("(dd)", 0.0, 0.0));
    // Windows take the focus only on a seat that has a keyboard, as a user's desktop has: a
    // Shift tapped once gives the session one.
    call("NotifyKeyboardKeycode", g_variant_new("(ub)", kLeftShift, TRUE));
    call("NotifyKeyboardKeycode", g_variant_new("(ub)", kLeftShift, FALSE));
    usleep(100000);
}

RemotePointer::~RemotePointer() {
    if (ready()) call("Stop", nullptr);
}

bool RemotePointer::call(const char* method, GVariant* parameters) {
    return dbus::call(bus_.get(), kRemoteDesktop, session_.c_str(),
                      "org.gnome.Mutter.RemoteDesktop.Session", method, parameters,
                      "()") != nullptr;
}

bool RemotePointer::clickAt(double x, double y) {
    if (!ready()) return false;
    const bool moved =
        call("NotifyPointerMotionRelative", g_variant_new("(dd)", -20000.0, -20000.0)) &&
        call("NotifyPointerMotionRelative", g_variant_new("(dd)", x, y));
    // The compositor picks the surface under the pointer before the press arrives.
    usleep(50000);
    return moved && call("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, TRUE)) &&
           call("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, FALSE));
}

} // namespace desktop_test
