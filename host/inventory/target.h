#pragma once
// Target resolution: the window a request names (`app` and `target`), checked to be one of
// the application's eligible windows right now, with its current bounds.

#include "common/json.h"
#include "host/platform/geometry.h"
#include "host/platform/platform.h"

#include <cstdint>

namespace host {

class Host;

struct ResolvedTarget {
    std::uint32_t windowId = 0;
    std::int32_t pid = 0;
    platform::Rect bounds; // current, in screen points
};

// Reads `app` and `target` ({windowId, pid}) from the request's parameters; a malformed
// request is "target_changed" before anything else is asked. Throws HostError.
ResolvedTarget target(Host& host, platform::Platform& platform, const common::Json& params);

} // namespace host
