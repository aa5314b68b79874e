#pragma once
// The process behind a window, as the X server knows it: the local client that created the
// window (X-Resource QueryClientIds). Never what a client claims in _NET_WM_PID, which any
// client may write on any window.

#include "host/platform/linux/x11/x_connection.h"

#include <xcb/res.h>

#include <cstdint>
#include <optional>

namespace host::platform::x11 {

// Asked without waiting, so that many go out in one round trip; nothing to ask when the
// server lacks the extension.
std::optional<xcb_res_query_client_ids_cookie_t> askClientPid(const XConnection& x,
                                                              xcb_window_t window);
// Nothing for a remote client, a window that is gone, or a server that cannot tell.
std::optional<std::uint32_t> takeClientPid(const XConnection& x,
                                           std::optional<xcb_res_query_client_ids_cookie_t> cookie);

std::optional<std::uint32_t> clientPid(const XConnection& x, xcb_window_t window);

} // namespace host::platform::x11
