#include "host/session/host.h"

#include "host/base/host_error.h"

namespace host {
namespace {

constexpr const char* loginWindowBundleId = "com.apple.loginwindow";

} // namespace

Host::Host(platform::Platform& platform, MainQueue& queue)
    : session_(platform.session), sideQueries_(platform.sideQueries),
      frames_(platform.clock, platform.uuids), self_(std::make_shared<Host*>(this)),
      lifeline_(std::make_shared<QueueLifeline>(queue)) {
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

namespace {

// The session's answers in the snapshot's order; the frontmost application is asked only
// while nothing before it has reported a lock.
Host::SessionAnswers askSession(platform::SessionPort& session, bool lockedByNotification) {
    Host::SessionAnswers answers;
    answers.session = session.session();
    const bool locked = lockedByNotification ||
                        (answers.session && answers.session->screenIsLocked.value_or(false));
    if (!locked) answers.front = session.frontmostApplication();
    answers.screen = session.screenCaptureAllowed();
    answers.accessibility = session.accessibilityTrusted();
    answers.identity = session.ownBundleIdentifier();
    return answers;
}

Host::GateAnswers askGate(platform::SessionPort& session, bool lockedByNotification) {
    Host::GateAnswers answers{askSession(session, lockedByNotification)};
    answers.screenAfter = session.screenCaptureAllowed();
    return answers;
}

} // namespace

common::Json Host::snapshotOf(const SessionAnswers& answers) const {
    const auto& info = answers.session;
    const bool onConsole = info && info->onConsole.value_or(false);
    // Three sources, in order; the first that reports a lock decides.
    bool screenLocked = locked_;
    if (!screenLocked) screenLocked = info && info->screenIsLocked.value_or(false);
    if (!screenLocked) {
        const auto& front = answers.front;
        screenLocked = front && front->bundleId && *front->bundleId == loginWindowBundleId;
    }
    common::Json snapshot = common::Json::object();
    snapshot["available"] = true;
    snapshot["screen"] = answers.screen;
    snapshot["accessibility"] = answers.accessibility;
    snapshot["locked"] = screenLocked;
    snapshot["sleeping"] = sleeping_;
    snapshot["onConsole"] = onConsole;
    snapshot["identity"] = answers.identity.value_or("unbundled");
    snapshot["name"] = "Tarnwick Computer Use";
    snapshot["version"] = "1";
    return snapshot;
}

common::Json Host::state() {
    return snapshotOf(askSession(session_, locked_));
}

void Host::requireScreen() {
    decide(askGate(session_, locked_));
}

std::future<Host::GateAnswers> Host::askScreenGate() {
    // The flag is read here, on the main thread; no notification can change it before the
    // answers are decided on, as both happen within one job.
    return platform::ask(
        sideQueries_, [&session = session_, locked = locked_] { return askGate(session, locked); });
}

void Host::requireScreen(std::future<GateAnswers> asked) {
    decide(asked.get());
}

void Host::decide(const GateAnswers& answers) {
    const auto snapshot = snapshotOf(answers.snapshot);
    const bool available =
        !snapshot.at("locked").get<bool>() && snapshot.at("onConsole").get<bool>() && !sleeping_;
    if (!available) {
        frames_.clearFrames();
        fail(ErrorCode::MacLocked);
    }
    // Decided on a fresh answer, not on the snapshot's member.
    if (!answers.screenAfter) fail(ErrorCode::ScreenPermissionRequired);
}

} // namespace host
