#pragma once
// The windows of one application that the assistant may look at and act on: ordinary,
// on-screen, large enough, and owned by a running instance whose live code matches the
// bundle. Nothing is cached: every call re-checks the bundle, each instance and the list.

#include "common/json.h"
#include "host/platform/geometry.h"
#include "host/platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace host {

class Host;

struct ListedWindow {
    std::uint32_t windowId = 0;
    std::int32_t pid = 0;
    std::string title;     // at most 120 user-perceived characters
    platform::Rect bounds; // standardised: width and height not negative
};

// `app` is the identity object the client holds. Passes the screen gate, recomputes the
// identity and insists it is unchanged, then returns the eligible windows front to back.
// Throws HostError.
std::vector<ListedWindow> windows(Host& host, platform::Platform& platform,
                                  const common::Json& app);

// The window object of the answer: {bounds: {x, y, width, height}, pid, title, windowId}.
common::Json windowObject(const ListedWindow& window);

} // namespace host
