#include "host/inventory/target.h"

#include "host/actions/params.h"
#include "host/inventory/windows.h"
#include "host/session/host_error.h"

namespace host {

ResolvedTarget target(Host& host, const common::Json& params) {
    const HostError changed{"target_changed"};
    auto app = params::object(params, "app");
    if (!app) throw changed;
    auto wanted = params::object(params, "target");
    if (!wanted) throw changed;
    auto windowId = params::u32(*wanted, "windowId");
    if (!windowId) throw changed;
    auto pid = params::i32(*wanted, "pid");
    if (!pid) throw changed;

    for (const auto& window : windows(host, *app)) {
        if (window.at("windowId").get<std::uint32_t>() != *windowId ||
            window.at("pid").get<std::int32_t>() != *pid)
            continue;
        const auto& b = window.at("bounds");
        return {*windowId, *pid,
                platform::Rect{b.at("x").get<double>(), b.at("y").get<double>(),
                               b.at("width").get<double>(), b.at("height").get<double>()}};
    }
    throw changed;
}

} // namespace host
