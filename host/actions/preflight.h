#pragma once
// The checks every input method passes after its target is resolved: accessibility trust,
// a fresh frame of exactly this window (used up from the moment it is looked up), the
// application in front, and its focused window where the window server says the target is.

#include "common/json.h"
#include "host/inventory/target.h"
#include "host/platform/accessibility_port.h"
#include "host/platform/platform.h"

namespace host {

class Host;

// What an input method's own steps work with. It holds the two elements and releases
// them when it goes, whatever the method's outcome.
struct ActionContext {
    std::uint32_t windowId = 0;
    std::int32_t pid = 0;
    platform::Rect bounds;
    platform::ElementRef application;   // with a 2.0 s messaging timeout
    platform::ElementRef focusedWindow; // the application's, matched to `bounds`
};

inline constexpr double kGeometryTolerance = 2.0;  // points, exclusive
inline constexpr float kApplicationTimeout = 2.0f; // seconds

// Reads `frameId` from the request's parameters. Throws HostError.
ActionContext prepareAction(Host& host, platform::Platform& platform, const ResolvedTarget& target,
                            const common::Json& params);

} // namespace host
