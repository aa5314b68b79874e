#pragma once
// The own steps of the four input methods, run after the preflight has passed. Each
// returns {"completed": true} or throws HostError.

#include "common/json.h"
#include "host/actions/preflight.h"
#include "host/platform/platform.h"

namespace host {

using platform::Platform;

// Presses the element under (x, y), points from the window's top-left corner.
common::Json click(Platform& platform, const common::Json& params, ActionContext& context);
// Moves the focused element one page "up" or "down".
common::Json scroll(Platform& platform, const common::Json& params, ActionContext& context);
// Replaces the value of the focused text field (never a password field) with `text`.
common::Json typeText(Platform& platform, const common::Json& params, ActionContext& context);
// Presses `key` ("Tab" only) in the target's process.
common::Json pressKey(Platform& platform, const common::Json& params, ActionContext& context);

inline common::Json completed() {
    return common::Json{{"completed", true}};
}

} // namespace host
