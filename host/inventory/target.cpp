#include "host/inventory/target.h"

#include "host/base/host_error.h"
#include "host/base/params.h"
#include "host/inventory/windows.h"

namespace host {

ResolvedTarget target(Host& host, platform::Platform& platform, const common::Json& params) {
    const HostError changed{ErrorCode::TargetChanged};
    auto app = params::object(params, "app");
    if (!app) throw changed;
    auto wanted = params::object(params, "target");
    if (!wanted) throw changed;
    auto windowId = params::u32(*wanted, "windowId");
    if (!windowId) throw changed;
    auto pid = params::i32(*wanted, "pid");
    if (!pid) throw changed;

    for (const auto& window : windows(host, platform, *app))
        if (window.windowId == *windowId && window.pid == *pid)
            return {*windowId, *pid, window.bounds};
    throw changed;
}

} // namespace host
