#pragma once
// The frames a successful capture leaves behind: which window was captured, whose it was,
// where it stood and when. An input method uses one up; a frame 30 s old or more is expired.
// Main thread only.

#include "host/platform/clock.h"
#include "host/platform/geometry.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace host {

struct Frame {
    std::uint32_t windowId = 0;
    std::int32_t pid = 0;
    platform::Rect bounds;
    double capturedAt = 0; // wall-clock seconds
};

inline constexpr double frameAgeLimit = 30.0;

// A frame is live while its age is below the limit; a negative age (the clock was set
// back) is live, an age that is not a number is not.
bool isLive(const Frame& frame, double now);

class FrameRegistry {
public:
    FrameRegistry(platform::Clock& clock, platform::UuidSource& uuids);

    // Drops every expired frame (the clock is read afresh for each), then stores a new frame
    // captured now (read after the pruning) under a fresh upper-case UUID, and returns it.
    std::string registerFrame(std::uint32_t windowId, std::int32_t pid, platform::Rect bounds);
    // Removes and returns the frame stored under exactly `id`, if any.
    std::optional<Frame> takeFrame(const std::string& id);
    void clearFrames();
    std::size_t size() const;

private:
    platform::Clock& clock_;
    platform::UuidSource& uuids_;
    std::unordered_map<std::string, Frame> frames_;
};

} // namespace host
