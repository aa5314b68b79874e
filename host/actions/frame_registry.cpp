#include "host/actions/frame_registry.h"

#include <algorithm>
#include <cctype>

namespace host {

bool isLive(const Frame& frame, double now) {
    // Written so that a NaN age compares false and counts as expired.
    return now - frame.capturedAt < frameAgeLimit;
}

FrameRegistry::FrameRegistry(platform::Clock& clock, platform::UuidSource& uuids)
    : clock_(clock), uuids_(uuids) {}

std::string FrameRegistry::registerFrame(std::uint32_t windowId, std::int32_t pid,
                                         platform::Rect bounds) {
    std::erase_if(frames_,
                  [this](const auto& entry) { return !isLive(entry.second, clock_.now()); });
    std::string id;
    do {
        // Identifiers are never reused, even if the source repeats itself.
        id = uuids_.randomUuid();
        std::ranges::transform(id, id.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    } while (frames_.contains(id));
    frames_.emplace(id, Frame{windowId, pid, bounds, clock_.now()});
    return id;
}

std::optional<Frame> FrameRegistry::takeFrame(const std::string& id) {
    auto node = frames_.extract(id);
    if (node.empty()) return std::nullopt;
    return std::move(node.mapped());
}

void FrameRegistry::clearFrames() {
    frames_.clear();
}

std::size_t FrameRegistry::size() const {
    return frames_.size();
}

} // namespace host
