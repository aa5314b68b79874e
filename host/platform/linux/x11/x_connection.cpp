#include "host/platform/linux/x11/x_connection.h"

#include <xcb/composite.h>
#include <xcb/res.h>
#include <xcb/shm.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace host::platform::x11 {
namespace {

void internAll(xcb_connection_t* c, std::vector<std::pair<const char*, xcb_atom_t*>> wanted) {
    std::vector<xcb_intern_atom_cookie_t> cookies;
    cookies.reserve(wanted.size());
    for (const auto& [name, slot] : wanted)
        cookies.push_back(
            xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        if (reply) *wanted[i].second = reply->atom;
    }
}

bool redirectSubwindows(xcb_connection_t* c, xcb_window_t root) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_composite_id);
    if (ext == nullptr || ext->present == 0) return false;
    Reply<xcb_composite_query_version_reply_t> version(xcb_composite_query_version_reply(
        c, xcb_composite_query_version(c, XCB_COMPOSITE_MAJOR_VERSION, XCB_COMPOSITE_MINOR_VERSION),
        nullptr));
    // NameWindowPixmap needs Composite 0.2.
    if (!version || (version->major_version == 0 && version->minor_version < 2)) return false;
    Reply<xcb_generic_error_t> error(xcb_request_check(
        c, xcb_composite_redirect_subwindows_checked(c, root, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
    return !error;
}

bool clientIdsUsable(xcb_connection_t* c) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_res_id);
    if (ext == nullptr || ext->present == 0) return false;
    Reply<xcb_res_query_version_reply_t> version(
        xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
    // QueryClientIds came with 1.2.
    return version && (version->server_major > 1 ||
                       (version->server_major == 1 && version->server_minor >= 2));
}

bool shmUsable(xcb_connection_t* c) {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
    if (ext == nullptr || ext->present == 0) return false;
    Reply<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
    return static_cast<bool>(version);
}

} // namespace

std::shared_ptr<XConnection> XConnection::open(Capture capture) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return nullptr;
    int screenNumber = 0;
    std::shared_ptr<XConnection> x(new XConnection);
    x->connection_.reset(xcb_connect(display, &screenNumber));
    if (!x->connection_ || !x->usable()) return nullptr;
    xcb_connection_t* c = x->get();

    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) return nullptr;
    x->root_ = screens.data->root;

    Atoms& a = x->atoms_;
    const std::string compositingManager = "_NET_WM_CM_S" + std::to_string(screenNumber);
    internAll(c, {{"WM_STATE", &a.wmState},
                  {"_NET_ACTIVE_WINDOW", &a.netActiveWindow},
                  {"_NET_WM_NAME", &a.netWmName},
                  {"_NET_WM_WINDOW_TYPE", &a.netWmWindowType},
                  {"_NET_WM_WINDOW_OPACITY", &a.netWmWindowOpacity},
                  {"_NET_WM_STATE", &a.netWmState},
                  {"_NET_WM_STATE_HIDDEN", &a.netWmStateHidden},
                  {"UTF8_STRING", &a.utf8String},
                  {"COMPOUND_TEXT", &a.compoundText},
                  {"_NET_WM_WINDOW_TYPE_DESKTOP", &a.typeDesktop},
                  {"_NET_WM_WINDOW_TYPE_DOCK", &a.typeDock},
                  {"_NET_WM_WINDOW_TYPE_TOOLBAR", &a.typeToolbar},
                  {"_NET_WM_WINDOW_TYPE_MENU", &a.typeMenu},
                  {"_NET_WM_WINDOW_TYPE_UTILITY", &a.typeUtility},
                  {"_NET_WM_WINDOW_TYPE_SPLASH", &a.typeSplash},
                  {"_NET_WM_WINDOW_TYPE_DIALOG", &a.typeDialog},
                  {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", &a.typeDropdownMenu},
                  {"_NET_WM_WINDOW_TYPE_POPUP_MENU", &a.typePopupMenu},
                  {"_NET_WM_WINDOW_TYPE_TOOLTIP", &a.typeTooltip},
                  {"_NET_WM_WINDOW_TYPE_NOTIFICATION", &a.typeNotification},
                  {"_NET_WM_WINDOW_TYPE_COMBO", &a.typeCombo},
                  {"_NET_WM_WINDOW_TYPE_DND", &a.typeDnd},
                  {"_NET_WM_WINDOW_TYPE_NORMAL", &a.typeNormal},
                  {compositingManager.c_str(), &a.compositingManager}});

    const xcb_query_extension_reply_t* composite = xcb_get_extension_data(c, &xcb_composite_id);
    x->hasComposite_ = composite != nullptr && composite->present != 0;
    // Without Composite a capture would show whatever covers the window: no captures then.
    if (capture == Capture::Redirect) x->redirected_ = redirectSubwindows(c, x->root_);
    x->hasShm_ = shmUsable(c);
    x->hasClientIds_ = clientIdsUsable(c);
    return x;
}

} // namespace host::platform::x11
