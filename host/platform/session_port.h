#pragma once
// Facts about the login session and the two permissions, and the screen notifications.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace host::platform {

// The login session of this process. An entry that is missing or not a boolean in the
// platform's own record is reported as nothing.
struct SessionInfo {
    std::optional<bool> onConsole;
    std::optional<bool> screenIsLocked;
};

struct FrontmostApplication {
    std::int32_t pid = 0;
    std::optional<std::string> bundleId;
};

enum class ScreenNotification { ScreenIsLocked, ScreenIsUnlocked, ScreensDidSleep, ScreensDidWake };

// Where the platform's side queries start at once (side_queries.h), the questions below
// (all but the two requests and subscribe) may be asked on several threads at once.
class SessionPort {
public:
    virtual ~SessionPort() = default;

    // Nothing when the process has no login session (no display here).
    virtual std::optional<SessionInfo> session() = 0;
    virtual std::optional<FrontmostApplication> frontmostApplication() = 0;
    // The two permission facts, read without asking the user.
    virtual bool screenCaptureAllowed() = 0;
    virtual bool accessibilityTrusted() = 0;
    // Ask the user for a permission; the answer arrives later, if at all.
    virtual void requestScreenCapture() = 0;
    virtual void requestAccessibility() = 0;
    // The host's own bundle identifier, when it runs from a bundle that declares one.
    virtual std::optional<std::string> ownBundleIdentifier() = 0;
    // Installs the one receiver of screen notifications. `deliver` may be called on any
    // thread, at any time after this call, for the life of the process.
    virtual void subscribe(std::function<void(ScreenNotification)> deliver) = 0;
};

} // namespace host::platform
