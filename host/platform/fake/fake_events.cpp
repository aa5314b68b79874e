#include "host/platform/fake/fake_events.h"

namespace host::platform::fake {
namespace {

class Event : public platform::KeyboardEvent {
public:
    Event(std::uint16_t key, bool down, std::shared_ptr<long> live)
        : key(key), down(down), live_(std::move(live)) {
        ++*live_;
    }
    ~Event() override { --*live_; }
    std::uint16_t key;
    bool down;

private:
    std::shared_ptr<long> live_;
};

} // namespace

std::unique_ptr<platform::KeyboardEvent> FakeEvents::createKeyboardEvent(std::uint16_t virtualKey,
                                                                         bool keyDown) {
    if (keyDown ? failKeyDown : failKeyUp) return nullptr;
    return std::make_unique<Event>(virtualKey, keyDown, live_);
}

bool FakeEvents::postToPid(std::int32_t pid, platform::KeyboardEvent& event) {
    const auto& e = dynamic_cast<const Event&>(event);
    if (e.down ? refuseKeyDown : refuseKeyUp) return false;
    posted.push_back({pid, e.key, e.down});
    return true;
}

} // namespace host::platform::fake
