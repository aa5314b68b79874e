#pragma once
// The host's one connection to the X server, held for the life of the process.
//
// Window numbers: the host names a window by its client window (the window the
// application created, which carries _NET_WM_PID and WM_STATE), never by the window
// manager's frame around it. Bounds and captures are those of the frame (the root's child
// that holds the client), since that is what appears on screen.
//
// Thread-safety: xcb serialises requests on one connection, and nothing here changes after
// `open`, so every member may be used from any thread.

#include "common/unique_handle.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>

namespace host::platform::x11 {

// A reply, error or event from xcb (malloc'ed), freed on every path.
template <typename T> using Reply = common::Malloced<T>;

struct Atoms {
    xcb_atom_t wmState = XCB_NONE;
    xcb_atom_t netActiveWindow = XCB_NONE;
    xcb_atom_t wmName = XCB_ATOM_WM_NAME;
    xcb_atom_t netWmName = XCB_NONE;
    xcb_atom_t netWmWindowType = XCB_NONE;
    xcb_atom_t netWmWindowOpacity = XCB_NONE;
    xcb_atom_t netWmState = XCB_NONE;
    xcb_atom_t netWmStateHidden = XCB_NONE;
    xcb_atom_t utf8String = XCB_NONE;
    xcb_atom_t compoundText = XCB_NONE;
    // _NET_WM_WINDOW_TYPE_*
    xcb_atom_t typeDesktop = XCB_NONE;
    xcb_atom_t typeDock = XCB_NONE;
    xcb_atom_t typeToolbar = XCB_NONE;
    xcb_atom_t typeMenu = XCB_NONE;
    xcb_atom_t typeUtility = XCB_NONE;
    xcb_atom_t typeSplash = XCB_NONE;
    xcb_atom_t typeDialog = XCB_NONE;
    xcb_atom_t typeDropdownMenu = XCB_NONE;
    xcb_atom_t typePopupMenu = XCB_NONE;
    xcb_atom_t typeTooltip = XCB_NONE;
    xcb_atom_t typeNotification = XCB_NONE;
    xcb_atom_t typeCombo = XCB_NONE;
    xcb_atom_t typeDnd = XCB_NONE;
    xcb_atom_t typeNormal = XCB_NONE;
    // The selection a compositing manager of this screen owns (_NET_WM_CM_S<screen>).
    xcb_atom_t compositingManager = XCB_NONE;
};

class XConnection {
public:
    enum class Capture {
        // Redirects the root's subwindows (automatically) so that every top-level window
        // keeps its own content even where others cover it. The redirection lasts as long as
        // the connection, so a capturing connection is made once and kept.
        Redirect,
        Without,
    };
    // Connects to the display named by DISPLAY and interns the atoms. Nothing when there is
    // no usable display.
    static std::shared_ptr<XConnection> open(Capture capture = Capture::Redirect);

    xcb_connection_t* get() const { return connection_.get(); }
    xcb_window_t root() const { return root_; }
    const Atoms& atoms() const { return atoms_; }
    bool hasShm() const { return hasShm_; }
    bool hasComposite() const { return hasComposite_; }
    // X-Resource 1.2: the server tells which local process created a window.
    bool hasClientIds() const { return hasClientIds_; }
    // The root's subwindows keep their own content (Composite); captures need it.
    bool redirected() const { return redirected_; }
    // False once the server has gone away.
    bool usable() const { return xcb_connection_has_error(connection_.get()) == 0; }

private:
    XConnection() = default;

    common::Owned<xcb_connection_t, xcb_disconnect> connection_;
    xcb_window_t root_ = XCB_NONE;
    Atoms atoms_;
    bool hasShm_ = false;
    bool hasComposite_ = false;
    bool hasClientIds_ = false;
    bool redirected_ = false;
};

} // namespace host::platform::x11
