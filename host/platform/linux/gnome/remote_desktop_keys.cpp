#include "host/platform/linux/gnome/remote_desktop_keys.h"

#include "host/platform/linux/gnome/shell_windows.h"
#include "host/platform/linux/keysyms.h"

namespace host::platform::gnome {
namespace {

namespace dbus = linux_desktop::dbus;

constexpr const char* kRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kSessionInterface = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr std::uint32_t kShiftLeft = 0xffe1;

} // namespace

RemoteDesktopKeys::RemoteDesktopKeys(dbus::Connection bus) : bus_(std::move(bus)) {
    open();
}

RemoteDesktopKeys::~RemoteDesktopKeys() {
    close();
}

bool RemoteDesktopKeys::open() {
    dbus::Variant created =
        dbus::call(bus_.get(), kRemoteDesktop, "/org/gnome/Mutter/RemoteDesktop", kRemoteDesktop,
                   "CreateSession", nullptr, "(o)");
    if (!created) return false;
    const gchar* path = nullptr;
    g_variant_get(created.get(), "(&o)", &path);
    session_ = path;
    if (!dbus::call(bus_.get(), kRemoteDesktop, session_.c_str(), kSessionInterface, "Start",
                    nullptr, "()")) {
        close();
        return false;
    }
    // Mutter makes the session's keyboard on its first key press, and loses that press: a
    // tap of Shift, which does nothing on its own, makes the keyboard now. The seat then has
    // a keyboard, so windows become active even on a headless desktop.
    for (const bool down : {true, false})
        dbus::call(bus_.get(), kRemoteDesktop, session_.c_str(), kSessionInterface,
                   "NotifyKeyboardKeysym", g_variant_new("(ub)", kShiftLeft, gboolean(down)), "()");
    return true;
}

void RemoteDesktopKeys::close() {
    if (session_.empty()) return;
    dbus::call(bus_.get(), kRemoteDesktop, session_.c_str(), kSessionInterface, "Stop", nullptr,
               "()");
    session_.clear();
}

std::unique_ptr<KeyboardEvent> RemoteDesktopKeys::createKeyboardEvent(std::uint16_t virtualKey,
                                                                      bool keyDown) {
    const auto keysym = linux_desktop::keysymOf(virtualKey);
    if (!keysym || (session_.empty() && !open())) return nullptr;
    return std::make_unique<RemoteDesktopKey>(*keysym, keyDown);
}

bool RemoteDesktopKeys::focusedWindowIsOf(std::int32_t pid) {
    const auto shell = askShell(bus_.get());
    if (!shell || shell->focus == 0) return false;
    for (const ShellWindow& window : shell->windows)
        if (window.id == shell->focus) return window.pid > 0 && window.pid == pid;
    return false;
}

bool RemoteDesktopKeys::postToPid(std::int32_t pid, KeyboardEvent& event) {
    auto* key = dynamic_cast<RemoteDesktopKey*>(&event);
    if (key == nullptr || pid <= 0) return false;
    // A key released is sent wherever the focus went, so that no key stays down.
    if (key->down && !focusedWindowIsOf(pid)) return false;
    if (session_.empty() && !open()) return false;
    if (!dbus::call(bus_.get(), kRemoteDesktop, session_.c_str(), kSessionInterface,
                    "NotifyKeyboardKeysym", g_variant_new("(ub)", key->keysym, key->down), "()")) {
        session_.clear(); // Mutter closed it; the next key opens another
        return false;
    }
    // The key goes to whatever has the focus when Mutter handles it: it was the target's
    // only if the focus is still there afterwards.
    return focusedWindowIsOf(pid);
}

} // namespace host::platform::gnome
