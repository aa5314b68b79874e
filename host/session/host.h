#pragma once
// The one object of the host that holds state: the input buffer of the request loop, the
// frame registry, and the two flags that follow the screen lock and display sleep as the
// session announces them; and the two operations decided on them, the state snapshot and
// the screen gate. Every member is used on the main thread only.

#include "common/json.h"
#include "host/base/main_queue.h"
#include "host/base/queue_lifeline.h"
#include "host/platform/platform.h"

// The one include from a layer above: the host owns the frame registry, which belongs with
// the actions that fill it and use it up. It depends on nothing but the platform's clock.
#include "host/actions/frame_registry.h"

#include <future>
#include <memory>
#include <optional>
#include <string>

namespace host {

class Host {
public:
    // What the snapshot and the gate ask the session, in the order they ask it.
    struct SessionAnswers {
        std::optional<platform::SessionInfo> session;
        std::optional<platform::FrontmostApplication> front; // asked while no lock is known
        bool screen = false;
        bool accessibility = false;
        std::optional<std::string> identity;
    };
    struct GateAnswers {
        SessionAnswers snapshot;
        bool screenAfter = false; // the permission asked again once the snapshot is taken
    };

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
    // The same gate in two halves: its questions to the session, asked from now on beside
    // whatever the request does next (side_queries.h), and the decision on their answers,
    // taken when the gate's turn comes. The host must outlive the questions.
    std::future<GateAnswers> askScreenGate();
    void requireScreen(std::future<GateAnswers> asked);

    FrameRegistry& frames() { return frames_; }
    // The main queue for callbacks that may outlive the host (they are dropped after it).
    std::shared_ptr<QueueLifeline> lifeline() { return lifeline_; }
    // Standard-input bytes not yet cut into lines (the request loop's own).
    std::string& buffer() { return buffer_; }
    bool locked() const { return locked_; }
    bool sleeping() const { return sleeping_; }

private:
    void apply(platform::ScreenNotification notification);
    common::Json snapshotOf(const SessionAnswers& answers) const;
    void decide(const GateAnswers& answers);

    platform::SessionPort& session_;
    const platform::SideQueries sideQueries_;
    bool sleeping_ = false;
    bool locked_ = false;
    std::string buffer_;
    FrameRegistry frames_;
    // Observers hold this weakly; it dies with the host.
    std::shared_ptr<Host*> self_;
    std::shared_ptr<QueueLifeline> lifeline_;
};

} // namespace host
