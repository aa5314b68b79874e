#include "host/session/host.h"

#include "host/base/host_error.h"

namespace host {
namespace {

constexpr const char* loginWindowBundleId = "com.apple.loginwindow";

} // namespace

Host::Host(platform::Platform& platform, MainQueue& queue)
    : session_(platform.session), frames_(platform.clock, platform.uuids),
      self_(std::make_shared<Host*>(this)), lifeline_(std::make_shared<QueueLifeline>(queue)) {
    // A notification changes nothing while it is delivered: it queues one job behind
    // everything already queued, so no request ever sees the flags change under it.
    std::weak_ptr<Host*> weak = self_;
    MainQueue* jobs = &queue;
    session_.subscribe([weak, jobs](platform::ScreenNotification notification) {
        jobs->post([weak, notification] {
            if (auto host = weak.lock()) (*host)->apply(notification);
        });
    });
}

Host::~Host() {
    lifeline_->cut();
}

void Host::apply(platform::ScreenNotification notification) {
    using platform::ScreenNotification;
    switch (notification) {
    case ScreenNotification::ScreenIsLocked:
        locked_ = true;
        break;
    case ScreenNotification::ScreenIsUnlocked:
        locked_ = false;
        break;
    case ScreenNotification::ScreensDidSleep:
        sleeping_ = true;
        break;
    case ScreenNotification::ScreensDidWake:
        sleeping_ = false;
        break;
    }
    // Every notification forgets every frame, whether or not the flag changed.
    frames_.clearFrames();
}

common::Json Host::state() {
    auto& session = session_;
    const auto info = session.session();
    const bool onConsole = info && info->onConsole.value_or(false);
    // Three sources, in order; the first that reports a lock decides.
    bool screenLocked = locked_;
    if (!screenLocked) screenLocked = info && info->screenIsLocked.value_or(false);
    if (!screenLocked) {
        const auto front = session.frontmostApplication();
        screenLocked = front && front->bundleId && *front->bundleId == loginWindowBundleId;
    }
    common::Json snapshot = common::Json::object();
    snapshot["available"] = true;
    snapshot["screen"] = session.screenCaptureAllowed();
    snapshot["accessibility"] = session.accessibilityTrusted();
    snapshot["locked"] = screenLocked;
    snapshot["sleeping"] = sleeping_;
    snapshot["onConsole"] = onConsole;
    snapshot["identity"] = session.ownBundleIdentifier().value_or("unbundled");
    snapshot["name"] = "Tarnwick Computer Use";
    snapshot["version"] = "1";
    return snapshot;
}

void Host::requireScreen() {
    const auto snapshot = state();
    const bool available =
        !snapshot.at("locked").get<bool>() && snapshot.at("onConsole").get<bool>() && !sleeping_;
    if (!available) {
        frames_.clearFrames();
        fail(ErrorCode::MacLocked);
    }
    // Decided on a fresh answer, not on the snapshot's member.
    if (!session_.screenCaptureAllowed()) fail(ErrorCode::ScreenPermissionRequired);
}

} // namespace host
