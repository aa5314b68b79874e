#pragma once
// A scriptable login session for tests. It starts as an available desktop: on the console,
// unlocked, both permissions granted, nothing in front, no bundle of its own. Tests change
// the public members and deliver notifications as the platform would.

#include "host/platform/session_port.h"

#include <functional>
#include <optional>
#include <string>

namespace host::platform::fake {

class FakeSession : public SessionPort {
public:
    std::optional<SessionInfo> info = SessionInfo{true, false};
    std::optional<FrontmostApplication> frontmost;
    bool screenAllowed = true;
    bool trusted = true;
    std::optional<std::string> ownBundleId;

    // How often each fact was asked for and each prompt requested.
    int sessionReads = 0;
    int frontmostReads = 0;
    int screenReads = 0;
    int trustReads = 0;
    int screenRequests = 0;
    int accessibilityRequests = 0;

    // Hands a notification to the subscriber, on the calling thread; nothing happens
    // when no one has subscribed.
    void deliver(ScreenNotification notification);
    bool subscribed() const { return static_cast<bool>(subscriber_); }

    std::optional<SessionInfo> session() override;
    std::optional<FrontmostApplication> frontmostApplication() override;
    bool screenCaptureAllowed() override;
    bool accessibilityTrusted() override;
    void requestScreenCapture() override;
    void requestAccessibility() override;
    std::optional<std::string> ownBundleIdentifier() override;
    void subscribe(std::function<void(ScreenNotification)> deliver) override;

private:
    std::function<void(ScreenNotification)> subscriber_;
};

} // namespace host::platform::fake
