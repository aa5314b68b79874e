#pragma once
// The X display as the login session sees it: reachable or not, Composite or not, the
// active window's owner, and the MIT-SCREEN-SAVER notifications of display sleep and wake.

#include "host/platform/linux/display_facts.h"
#include "host/platform/linux/x11/x_connection.h"

#include <memory>
#include <mutex>

namespace host::platform::x11 {

// DISPLAY names a display of this machine reached through a local socket (":0", "unix:0",
// a socket path), not one over the network (a forwarded "localhost:10" included).
bool localDisplay();

// Queries on a connection of their own, opened when first needed and again after it broke.
class X11DisplayFacts final : public linux_desktop::DisplayFacts {
public:
    bool reachable() override;
    bool local() override { return localDisplay(); }
    bool captureAvailable() override;
    // The process that created _NET_ACTIVE_WINDOW, as the server knows it.
    std::optional<std::int32_t> activeWindowPid() override;
    // On a connection of its own, whose events are read from `context`.
    std::unique_ptr<Watch> watchSleep(GMainContext* context,
                                      std::function<void(bool asleep)> changed) override;

private:
    // The connection, reopened when the last one broke; null without a display. Any thread:
    // the frontmost application is asked beside the other session facts.
    std::shared_ptr<const XConnection> connection();
    // Forgets `broken`, unless another thread has replaced it already.
    void forget(const std::shared_ptr<const XConnection>& broken);

    std::mutex mutex_;
    std::shared_ptr<const XConnection> x_;
};

} // namespace host::platform::x11
