#include "host/platform/linux/x11/x11_events.h"

#include "host/platform/linux/keysyms.h"
#include "host/platform/linux/x11/client_pid.h"
#include "host/platform/linux/x11/properties.h"
#include "host/platform/linux/x11/window_tree.h"

#include <array>
#include <cstring>
#include <utility>

namespace host::platform::x11 {

std::optional<xcb_keycode_t> X11Events::keycodeOf(const XConnection& x, std::uint32_t keysym) {
    xcb_connection_t* c = x.get();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    Reply<xcb_get_keyboard_mapping_reply_t> map(xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count)),
        nullptr));
    if (!map || map->keysyms_per_keycode == 0) return std::nullopt;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(map.get());
    for (int i = 0; i < length; ++i)
        if (syms[i] == keysym)
            return static_cast<xcb_keycode_t>(setup->min_keycode + i / map->keysyms_per_keycode);
    return std::nullopt;
}

std::unique_ptr<KeyboardEvent> X11Events::createKeyboardEvent(std::uint16_t virtualKey,
                                                              bool keyDown) {
    const auto x = link_->current();
    if (!x) return nullptr;
    auto keysym = linux_desktop::keysymOf(virtualKey);
    if (!keysym) return nullptr;
    auto keycode = keycodeOf(*x, *keysym);
    if (!keycode) return nullptr;
    return std::make_unique<X11KeyEvent>(*keycode, keyDown);
}

std::optional<xcb_window_t> X11Events::keyWindowOf(const XConnection& x, std::int32_t pid) {
    xcb_connection_t* c = x.get();
    Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (focus && focus->focus != XCB_NONE && focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT &&
        focus->focus != x.root()) {
        // The focus may be on the client or on a window inside it: its owner is the client's.
        auto frame = frameOf(x, focus->focus);
        auto client = frame ? clientWithin(x, *frame) : std::nullopt;
        const auto owner = client ? clientPid(x, *client) : std::nullopt;
        if (owner && std::int64_t{*owner} == pid) return focus->focus;
    }
    if (auto tops = topLevels(x))
        for (const TopLevel& top : *tops)
            if (top.info.ownerPid == pid && top.info.layer == layer::kNormal) return top.client;
    return std::nullopt;
}

bool X11Events::postToPid(std::int32_t pid, KeyboardEvent& event) {
    auto* key = dynamic_cast<X11KeyEvent*>(&event);
    const auto shared = link_->current();
    if (!shared || key == nullptr) return false;
    const XConnection& x = *shared;
    auto window = keyWindowOf(x, pid);
    if (!window) return false;
    // SendEvent always carries 32 bytes.
    union {
        xcb_key_press_event_t press;
        char bytes[32];
    } message;
    std::memset(&message, 0, sizeof message);
    message.press.response_type = key->down ? XCB_KEY_PRESS : XCB_KEY_RELEASE;
    message.press.detail = key->keycode;
    message.press.time = XCB_CURRENT_TIME;
    message.press.root = x.root();
    message.press.event = *window;
    message.press.child = XCB_NONE;
    message.press.same_screen = 1;
    xcb_connection_t* c = x.get();
    // Checked, so that a window gone in the meantime is no key delivered.
    Reply<xcb_generic_error_t> error(xcb_request_check(
        c, xcb_send_event_checked(c, 0, *window, XCB_EVENT_MASK_NO_EVENT, message.bytes)));
    return !error;
}

} // namespace host::platform::x11
