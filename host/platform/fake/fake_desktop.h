#pragma once
// The whole in-memory desktop: every port's fake and the `Platform` over them, with a few
// helpers that set up a consistent application (a sealed bundle, running instances, their
// windows, what capture and accessibility see of them). Tests then break single facts.

#include "host/platform/fake/fake_accessibility.h"
#include "host/platform/fake/fake_bundles.h"
#include "host/platform/fake/fake_capture.h"
#include "host/platform/fake/fake_clock.h"
#include "host/platform/fake/fake_code_signing.h"
#include "host/platform/fake/fake_events.h"
#include "host/platform/fake/fake_session.h"
#include "host/platform/fake/fake_window_server.h"
#include "host/platform/fake/fake_workspace.h"
#include "host/platform/platform.h"

namespace host::platform::fake {

struct FakeAppSpec {
    std::string location; // absolute, resolved, ends in .app
    std::string bundleId;
    std::string name; // CFBundleName
    std::optional<std::string> team;
    std::string requirement() const;
    std::string executable() const; // location/Contents/MacOS/<stem>
};

class FakeDesktop {
public:
    FakeDesktop();
    FakeDesktop(const FakeDesktop&) = delete;
    FakeDesktop& operator=(const FakeDesktop&) = delete;

    FakeSession session;
    FakeBundles bundles;
    FakeCodeSigning codeSigning;
    FakeWorkspace workspace;
    FakeWindowServer windowServer;
    FakeCapture capture;
    FakeAccessibility accessibility;
    FakeEvents events;
    FakeClock clock;
    FakeUuids uuids;

    Platform& platform() { return platform_; }

    // A validly sealed bundle with an icon.
    void installApp(const FakeAppSpec& app);
    // A running instance of `app` whose live code is valid and satisfies its requirement.
    void launch(const FakeAppSpec& app, std::int32_t pid);
    // An ordinary window (layer 0) of `pid` behind those added before; shareable content
    // lists it under the same owner.
    void addWindow(std::int32_t pid, std::uint32_t number, Rect bounds,
                   std::optional<std::string> title = std::nullopt);
    // Puts `pid` in front with a focused accessibility window at `bounds`, and returns that
    // window's node.
    NodePtr focus(std::int32_t pid, Rect bounds);
    // Closes a window: gone from the window list and from shareable content.
    void closeWindow(std::uint32_t number);

private:
    Platform platform_;
};

} // namespace host::platform::fake
