#pragma once
// The windows of one application that the assistant may look at and act on: ordinary,
// on-screen, large enough, and owned by a running instance whose live code matches the
// bundle. Nothing is cached: every call re-checks the bundle, each instance and the list.

#include "common/json.h"

namespace host {

class Host;

// `app` is the identity object the client holds. Passes the screen gate, recomputes the
// identity and insists it is unchanged, then returns the array of window objects
// ({bounds, pid, title, windowId}) front to back. Throws HostError.
common::Json windows(Host& host, const common::Json& app);

} // namespace host
