#include "host/platform/linux/x11/client_pid.h"

namespace host::platform::x11 {

std::optional<xcb_res_query_client_ids_cookie_t> askClientPid(const XConnection& x,
                                                              xcb_window_t window) {
    if (!x.hasClientIds()) return std::nullopt;
    const xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    return xcb_res_query_client_ids(x.get(), 1, &spec);
}

std::optional<std::uint32_t>
takeClientPid(const XConnection& x, std::optional<xcb_res_query_client_ids_cookie_t> cookie) {
    if (!cookie) return std::nullopt;
    Reply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(x.get(), *cookie, nullptr));
    if (!reply) return std::nullopt;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
         xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) == 0) continue;
        if (xcb_res_client_id_value_value_length(it.data) != 1) continue;
        const std::uint32_t pid = *xcb_res_client_id_value_value(it.data);
        if (pid != 0) return pid;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> clientPid(const XConnection& x, xcb_window_t window) {
    return takeClientPid(x, askClientPid(x, window));
}

} // namespace host::platform::x11
