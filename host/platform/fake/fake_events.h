#pragma once
// Keyboard events of the in-memory desktop: what was posted, to whom, and how many events
// are still held.

#include "host/platform/event_port.h"

#include <memory>
#include <vector>

namespace host::platform::fake {

struct PostedKey {
    std::int32_t pid;
    std::uint16_t virtualKey;
    bool keyDown;
    friend bool operator==(const PostedKey&, const PostedKey&) = default;
};

class FakeEvents : public platform::EventPort {
public:
    bool failKeyDown = false; // the key-down event cannot be made
    bool failKeyUp = false;
    bool refuseKeyDown = false; // made, but the platform does not take it when posted
    bool refuseKeyUp = false;
    std::vector<PostedKey> posted; // the events taken

    std::unique_ptr<platform::KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey,
                                                                 bool keyDown) override;
    bool postToPid(std::int32_t pid, platform::KeyboardEvent& event) override;
    // Events made and not yet released.
    long liveEvents() const { return *live_; }

private:
    std::shared_ptr<long> live_ = std::make_shared<long>(0);
};

} // namespace host::platform::fake
