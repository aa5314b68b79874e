#pragma once
// Reading window properties: asked without waiting, so that many go out in one round trip,
// then taken apart the way the X11 adapters rely on them.

#include "host/platform/linux/x11/x_connection.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace host::platform::x11 {

using PropertyCookie = xcb_get_property_cookie_t;
using Property = Reply<xcb_get_property_reply_t>; // null: no such property

// Asks for up to `longs` 32-bit units of any type.
PropertyCookie askProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom,
                           std::uint32_t longs = 1);
// The reply; null when the window or the property does not exist.
Property take(xcb_connection_t* c, PropertyCookie cookie);
// The same, with the rest of the value asked for when it was longer than first asked:
// the whole property, so that nothing is cut in the middle of a character.
Property takeWhole(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom,
                   PropertyCookie cookie);

// One property's value as the decoding reads it. The bytes are any client's and borrowed
// from wherever they came from (a reply, a fuzzer's input), so they carry no alignment.
struct PropertyValue {
    xcb_atom_t type = XCB_NONE; // None: no such property
    std::uint8_t format = 0;    // 8, 16 or 32 bits a unit
    std::span<const std::byte> bytes;
};

// The value a reply holds, borrowed from it; type None when there is no reply.
PropertyValue valueOf(const Property& p);

// The 32-bit values of a format-32 property; none for any other. Bytes past the last whole
// value are dropped.
std::vector<std::uint32_t> cardinals(const PropertyValue& p);
std::optional<std::uint32_t> firstCardinal(const PropertyValue& p);

// The first 32-bit value of a property of exactly `type`, asked and awaited.
std::optional<std::uint32_t> cardinal(const XConnection& x, xcb_window_t window, xcb_atom_t atom,
                                      xcb_atom_t type = XCB_ATOM_CARDINAL);

// A text property as valid UTF-8 without NULs: the first string of the list it may hold.
// STRING is Latin-1, COMPOUND_TEXT is converted, anything else is taken as UTF-8 and mended
// where it is not.
std::optional<std::string> text(const PropertyValue& p, const Atoms& atoms);

} // namespace host::platform::x11
