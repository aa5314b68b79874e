#pragma once
// Keyboard events sent to one process's window with SendEvent and an empty event mask:
// the X server then delivers them to the client that created that window and to no one
// else, whatever has the keyboard focus.

#include "host/platform/event_port.h"
#include "host/platform/linux/x11/display_link.h"

#include <memory>
#include <optional>

namespace host::platform::x11 {

class X11KeyEvent final : public KeyboardEvent {
public:
    X11KeyEvent(xcb_keycode_t keycode, bool down) : keycode(keycode), down(down) {}
    xcb_keycode_t keycode;
    bool down;
};

class X11Events final : public EventPort {
public:
    explicit X11Events(std::shared_ptr<DisplayLink> link) : link_(std::move(link)) {}
    std::unique_ptr<KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey,
                                                       bool keyDown) override;
    bool postToPid(std::int32_t pid, KeyboardEvent& event) override;

private:
    static std::optional<xcb_keycode_t> keycodeOf(const XConnection& x, std::uint32_t keysym);
    // The window of `pid` that should receive keys: the focused window when it is that
    // process's, else its front-most top-level window.
    static std::optional<xcb_window_t> keyWindowOf(const XConnection& x, std::int32_t pid);

    std::shared_ptr<DisplayLink> link_;
};

} // namespace host::platform::x11
