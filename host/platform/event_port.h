#pragma once
// Keyboard events posted to one process only.

#include <cstdint>
#include <memory>

namespace host::platform {

class KeyboardEvent {
public:
    virtual ~KeyboardEvent() = default;
};

class EventPort {
public:
    virtual ~EventPort() = default;
    // A key event for a virtual key code (the original platform's codes: Tab is 48),
    // no modifiers; nothing when it cannot be made.
    virtual std::unique_ptr<KeyboardEvent> createKeyboardEvent(std::uint16_t virtualKey,
                                                               bool keyDown) = 0;
    // Delivers to that process alone and returns at once, with whether the platform took
    // the event for it: false when the event could not be handed over, or could have gone
    // to another process.
    [[nodiscard]] virtual bool postToPid(std::int32_t pid, KeyboardEvent& event) = 0;
};

} // namespace host::platform
