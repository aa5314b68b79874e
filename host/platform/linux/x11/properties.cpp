#include "host/platform/linux/x11/properties.h"

#include "host/platform/linux/glib/glib_handles.h"
#include "host/platform/linux/x11/compound_text.h"

#include <cstring>

namespace host::platform::x11 {

PropertyCookie askProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom,
                           std::uint32_t longs) {
    return xcb_get_property(c, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
}

Property take(xcb_connection_t* c, PropertyCookie cookie) {
    Property p(xcb_get_property_reply(c, cookie, nullptr));
    if (p && p->type == XCB_NONE) p.reset();
    return p;
}

Property takeWhole(xcb_connection_t* c, xcb_window_t window, xcb_atom_t atom,
                   PropertyCookie cookie) {
    Property p = take(c, cookie);
    if (!p || p->bytes_after == 0) return p;
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(xcb_get_property_value_length(p.get())) + p->bytes_after;
    return take(c, askProperty(c, window, atom, static_cast<std::uint32_t>((bytes + 3) / 4)));
}

PropertyValue valueOf(const Property& p) {
    if (!p) return {};
    const auto* data = static_cast<const std::byte*>(xcb_get_property_value(p.get()));
    return {p->type,
            p->format,
            {data, static_cast<std::size_t>(xcb_get_property_value_length(p.get()))}};
}

std::vector<std::uint32_t> cardinals(const PropertyValue& p) {
    if (p.type == XCB_NONE || p.format != 32) return {};
    std::vector<std::uint32_t> values(p.bytes.size() / sizeof(std::uint32_t));
    if (!values.empty()) std::memcpy(values.data(), p.bytes.data(), values.size() * 4);
    return values;
}

std::optional<std::uint32_t> firstCardinal(const PropertyValue& p) {
    const auto values = cardinals(p);
    if (values.empty()) return std::nullopt;
    return values.front();
}

std::optional<std::uint32_t> cardinal(const XConnection& x, xcb_window_t window, xcb_atom_t atom,
                                      xcb_atom_t type) {
    xcb_connection_t* c = x.get();
    Property p(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, atom, type, 0, 1), nullptr));
    if (!p || p->type != type) return std::nullopt;
    return firstCardinal(valueOf(p));
}

std::optional<std::string> text(const PropertyValue& p, const Atoms& atoms) {
    if (p.type == XCB_NONE || p.format != 8) return std::nullopt;
    // A text property may hold a list of strings, each ended by a NUL: the text is the first,
    // in every encoding, so that no NUL reaches the text.
    const std::string_view whole(reinterpret_cast<const char*>(p.bytes.data()), p.bytes.size());
    const std::string_view first = whole.substr(0, whole.find('\0'));
    if (first.empty()) return std::string();
    if (p.type == atoms.compoundText) return compoundTextToUtf8(first);
    const auto length = static_cast<gssize>(first.size());
    glib::GCharRef converted(
        p.type == XCB_ATOM_STRING
            ? g_convert(first.data(), length, "UTF-8", "ISO-8859-1", nullptr, nullptr, nullptr)
            : g_utf8_make_valid(first.data(), length));
    if (!converted) return std::nullopt;
    return std::string(converted.get());
}

} // namespace host::platform::x11
