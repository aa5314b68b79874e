#pragma once
// Reading the window server's wide, possibly missing fields the way the host relies on them.

#include "host/platform/geometry.h"

#include <cstdint>
#include <limits>
#include <optional>

namespace host {

inline std::optional<std::uint32_t> asWindowNumber(std::optional<std::int64_t> value) {
    if (!value || *value < 0 || *value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

inline std::optional<std::int32_t> asPid(std::optional<std::int64_t> value) {
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

// The same rectangle with a non-negative width and height (origin moved accordingly).
inline platform::Rect standardised(platform::Rect r) {
    if (r.width < 0) r.x += r.width, r.width = -r.width;
    if (r.height < 0) r.y += r.height, r.height = -r.height;
    return r;
}

// Minimum edges included, maximum edges excluded; nothing lies in a rectangle with NaN.
inline bool containsPoint(const platform::Rect& rect, platform::Point p) {
    const auto r = standardised(rect);
    return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
}

} // namespace host
