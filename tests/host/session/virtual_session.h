#pragma once
// A private desktop session for the session adapter's tests: a virtual X display with
// Composite and the screen saver extension, a session bus of its own (no activatable
// services), and the stand-in screen saver and accessibility services on it. Everything
// started here is stopped here, and nothing else.

#include "tests/host/core/process.h"

#include <memory>
#include <optional>
#include <string>

namespace host::testing {

class VirtualSession {
public:
    // Xvfb and dbus-daemon are installed.
    static bool available();
    // Nothing when Xvfb, dbus-daemon or the stand-in service cannot be started.
    static std::unique_ptr<VirtualSession> start();
    ~VirtualSession();

    const std::string& display() const { return display_; } // ":N"
    const std::string& busAddress() const { return busAddress_; }
    // Environment entries that lead a program to this session.
    std::vector<std::string> environment() const;

    // Sets the stand-in screen saver's state; it announces a change with ActiveChanged.
    bool setScreenSaverActive(bool active);
    std::optional<bool> accessibilityEnabled();
    // Runs `xset s <what>` on the display ("activate", "reset").
    bool xset(const std::string& what);
    // Ends the X server and starts a new one on the same display: what a display restart
    // or a session switch looks like to a client.
    bool restartDisplay();

private:
    VirtualSession() = default;
    bool startDisplay(std::optional<std::string> display);
    std::string directory_;
    std::string display_;
    std::string busAddress_;
    std::unique_ptr<Process> xvfb_;
    std::unique_ptr<Process> bus_;
    std::unique_ptr<Process> services_;
};

} // namespace host::testing
