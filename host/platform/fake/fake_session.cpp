#include "host/platform/fake/fake_session.h"

#include <utility>

namespace host::platform::fake {

void FakeSession::deliver(ScreenNotification notification) {
    if (subscriber_) subscriber_(notification);
}

std::optional<SessionInfo> FakeSession::session() {
    ++sessionReads;
    return info;
}

std::optional<FrontmostApplication> FakeSession::frontmostApplication() {
    ++frontmostReads;
    return frontmost;
}

bool FakeSession::screenCaptureAllowed() {
    ++screenReads;
    return screenAllowed;
}

bool FakeSession::accessibilityTrusted() {
    ++trustReads;
    return trusted;
}

void FakeSession::requestScreenCapture() {
    ++screenRequests;
}

void FakeSession::requestAccessibility() {
    ++accessibilityRequests;
}

std::optional<std::string> FakeSession::ownBundleIdentifier() {
    return ownBundleId;
}

void FakeSession::subscribe(std::function<void(ScreenNotification)> deliver) {
    subscriber_ = std::move(deliver);
}

} // namespace host::platform::fake
