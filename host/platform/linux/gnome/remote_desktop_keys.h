#pragma once
// Keys through Mutter's RemoteDesktop. Wayland has no way to hand a key to one process: the
// key goes to the surface with the keyboard focus. So a key is sent only while the focused
// window is the target process's, as the compositor reports it right then, and the core
// sends it only right after its own checks found the target in front and focused.
//
// The session is opened when the port is made and kept for the host's life: Mutter loses
// the first key after a session starts, and a headless seat has a keyboard (and so focus)
// only while a session exists. A session that Mutter closed is opened again for the next key.

#include "host/platform/event_port.h"
#include "host/platform/linux/glib/dbus.h"

#include <optional>
#include <string>

namespace host::platform::gnome {

class RemoteDesktopKey final : public KeyboardEvent {
public:
    RemoteDesktopKey(std::uint32_t keysym, bool down) : keysym(keysym), down(down) {}
    std::uint32_t keysym;
    bool down;
};

class RemoteDesktopKeys final : public EventPort {
public:
    explicit RemoteDesktopKeys(linux_desktop::dbus::Connection bus);
    ~RemoteDesktopKeys() override;
    RemoteDesktopKeys(const RemoteDesktopKeys&) = delete;
    RemoteDesktopKeys& operator=(const RemoteDesktopKeys&) = delete;

    std::unique_ptr<KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey,
                                                       bool keyDown) override;
    bool postToPid(std::int32_t pid, KeyboardEvent& event) override;

private:
    bool open();
    void close();
    bool focusedWindowIsOf(std::int32_t pid);

    linux_desktop::dbus::Connection bus_;
    std::string session_; // empty: none open
};

} // namespace host::platform::gnome
