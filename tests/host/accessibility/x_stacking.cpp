#include "x_stacking.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace host::test {
namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> reply(T* raw) {
    return Reply<T>(raw, &std::free);
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    auto r = reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return r ? r->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The child of the root that holds `window`: the window manager's frame.
xcb_window_t frameOf(xcb_connection_t* c, xcb_window_t root, xcb_window_t window) {
    for (int depth = 0; depth < 16; ++depth) {
        auto tree = reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree) return XCB_WINDOW_NONE;
        if (tree->parent == root) return window;
        window = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

} // namespace

XStacking::XStacking() {
    int screenNumber = 0;
    connection_.reset(xcb_connect(nullptr, &screenNumber));
    if (xcb_connection_has_error(connection_.get())) return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection_.get()));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    root_ = it.data->root;
}

bool XStacking::connected() const {
    return connection_ && !xcb_connection_has_error(connection_.get()) && root_ != 0;
}

std::optional<std::vector<platform::WindowInfo>> XStacking::windowList(platform::WindowListKind) {
    if (!connected()) return std::nullopt;
    xcb_connection_t* c = connection_.get();
    const xcb_atom_t stacking = atom(c, "_NET_CLIENT_LIST_STACKING");
    const xcb_atom_t pidAtom = atom(c, "_NET_WM_PID");
    auto list = reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root_, stacking, XCB_ATOM_WINDOW, 0, 4096), nullptr));
    if (!list) return std::nullopt;
    const auto* windows = static_cast<const xcb_window_t*>(xcb_get_property_value(list.get()));
    const int count = xcb_get_property_value_length(list.get()) / 4;

    std::vector<platform::WindowInfo> result;
    for (int i = count - 1; i >= 0; --i) { // the property lists bottom to top
        const xcb_window_t client = windows[i];
        const xcb_window_t frame = frameOf(c, root_, client);
        if (frame == XCB_WINDOW_NONE) continue;
        auto attributes =
            reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, frame), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) continue;
        auto geometry = reply(xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr));
        auto origin = reply(xcb_translate_coordinates_reply(
            c, xcb_translate_coordinates(c, frame, root_, 0, 0), nullptr));
        if (!geometry || !origin) continue;
        platform::WindowInfo info;
        info.number = client;
        info.layer = 0;
        info.bounds = platform::Rect{
            static_cast<double>(origin->dst_x), static_cast<double>(origin->dst_y),
            static_cast<double>(geometry->width), static_cast<double>(geometry->height)};
        auto pid = reply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, client, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (pid && xcb_get_property_value_length(pid.get()) == 4)
            info.ownerPid = *static_cast<const uint32_t*>(xcb_get_property_value(pid.get()));
        result.push_back(std::move(info));
    }
    return result;
}

} // namespace host::test
