#pragma once
// The display-bound ports of a desktop that has no display server: no window list, no key
// events, and captures that fail at once. What a session-less backend reports, honestly.

#include "host/platform/capture_port.h"
#include "host/platform/event_port.h"
#include "host/platform/window_server_port.h"

namespace host::platform {

class NoWindowServer final : public WindowServerPort {
public:
    std::optional<std::vector<WindowInfo>> windowList(WindowListKind) override {
        return std::nullopt;
    }
};

// Every request completes at once, on the calling thread, with nothing.
class NoCapture final : public CapturePort {
public:
    void shareableContent(
        std::function<void(std::optional<std::vector<ShareableWindow>>)> done) override {
        done(std::nullopt);
    }
    void captureWindow(std::uint32_t, int, int,
                       std::function<void(std::optional<CapturedImage>)> done) override {
        done(std::nullopt);
    }
};

class NoEvents final : public EventPort {
public:
    std::unique_ptr<KeyboardEvent> createKeyboardEvent(std::uint16_t, bool) override {
        return nullptr;
    }
    bool postToPid(std::int32_t, KeyboardEvent&) override { return false; }
};

} // namespace host::platform
