#pragma once
// The window server's list of windows, front to back. Every field may be missing, and the
// integers are wide so that the host itself checks the ranges it relies on.

#include "host/platform/geometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host::platform {

struct WindowInfo {
    std::optional<std::int64_t> ownerPid;
    std::optional<std::int64_t> number;
    std::optional<std::int64_t> layer; // 0: ordinary application windows
    std::optional<Rect> bounds;        // as stored; width or height may be negative
    std::optional<std::string> name;
    std::optional<double> alpha;
};

enum class WindowListKind {
    OnScreen,                        // every on-screen window of every layer (hit tests)
    OnScreenExcludingDesktopElements // on-screen windows without the desktop (inventory)
};

class WindowServerPort {
public:
    virtual ~WindowServerPort() = default;
    // Nothing when the window server gives no list at all.
    virtual std::optional<std::vector<WindowInfo>> windowList(WindowListKind kind) = 0;
};

} // namespace host::platform
