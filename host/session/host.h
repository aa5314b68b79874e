#pragma once
// The one object of the host that holds state: the input buffer of the request loop, the
// frame registry, and the two flags that follow the screen lock and display sleep as the
// session announces them. Every member is used on the main thread only.

#include "common/json.h"
#include "host/actions/frame_registry.h"
#include "host/actions/outcome.h"
#include "host/actions/queue_lifeline.h"
#include "host/channel/main_queue.h"
#include "host/platform/platform.h"

#include <memory>
#include <string>

namespace host {

class Host {
public:
    // Subscribes to the session's screen notifications; each one becomes a job on `queue`
    // that sets its flag and forgets every frame. Jobs that run after the host is gone do
    // nothing.
    Host(platform::Platform& platform, MainQueue& queue);
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    ~Host();

    // The nine-member snapshot: available, screen, accessibility, locked, sleeping,
    // onConsole, identity, name, version. Asks the platform afresh on every call.
    common::Json state();
    // Returns when the screen may be seen and operated; otherwise throws HostError
    // "mac_locked" (and forgets every frame) or "screen_permission_required".
    void requireScreen();
    // Runs one request; `reply` is called exactly once, on the main thread (later for
    // methods that wait for the platform).
    void handle(const std::string& method, const common::Json& params, Reply reply);

    FrameRegistry& frames() { return frames_; }
    platform::Platform& platform() { return platform_; }
    MainQueue& queue() { return queue_; }
    // The main queue for callbacks that may outlive the host (they are dropped after it).
    std::shared_ptr<QueueLifeline> lifeline() { return lifeline_; }
    // Standard-input bytes not yet cut into lines (the request loop's own).
    std::string& buffer() { return buffer_; }
    bool locked() const { return locked_; }
    bool sleeping() const { return sleeping_; }

private:
    void apply(platform::ScreenNotification notification);

    platform::Platform& platform_;
    MainQueue& queue_;
    bool sleeping_ = false;
    bool locked_ = false;
    std::string buffer_;
    FrameRegistry frames_;
    // Observers hold this weakly; it dies with the host.
    std::shared_ptr<Host*> self_;
    std::shared_ptr<QueueLifeline> lifeline_;
};

} // namespace host
