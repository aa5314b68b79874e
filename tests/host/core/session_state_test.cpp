// The host's state snapshot, its notifications and the screen gate, over the fake session.

#include "host/base/host_error.h"
#include "host/session/host.h"
#include "tests/support/manual_queue.h"
#include "tests/support/no_ports.h"

#include <gtest/gtest.h>

namespace host {
namespace {

using platform::FrontmostApplication;
using platform::ScreenNotification;
using platform::SessionInfo;

class SessionStateTest : public ::testing::Test {
protected:
    test_support::FakeDesktopParts desktop;
    test_support::ManualQueue queue;
    Host host{desktop.platform, queue};

    void registerFrames(int count) {
        for (int i = 0; i < count; ++i)
            host.frames().registerFrame(7, 42, {0, 0, 10, 10});
    }
    // The code the gate refuses with, or "" when it lets the request through; in one go,
    // or asked first and decided on afterwards.
    enum class Gate { Whole, InHalves };
    std::string gateCode(Gate gate = Gate::Whole) {
        try {
            if (gate == Gate::Whole)
                host.requireScreen();
            else
                host.requireScreen(host.askScreenGate());
            return "";
        } catch (const HostError& error) {
            return std::string(error.name());
        }
    }
};

TEST_F(SessionStateTest, SnapshotHasExactlyTheNineMembersWithFixedValues) {
    desktop.session.screenAllowed = false;
    desktop.session.trusted = false;
    const auto state = host.state();
    EXPECT_EQ(common::compact(state),
              R"({"accessibility":false,"available":true,"identity":"unbundled","locked":false,)"
              R"("name":"Tarnwick Computer Use","onConsole":true,"screen":false,"sleeping":false,)"
              R"("version":"1"})");
    desktop.session.ownBundleId = "com.example.host";
    desktop.session.screenAllowed = true;
    desktop.session.trusted = true;
    const auto bundled = host.state();
    EXPECT_EQ(bundled["identity"], "com.example.host");
    EXPECT_EQ(bundled["screen"], true);
    EXPECT_EQ(bundled["accessibility"], true);
}

TEST_F(SessionStateTest, OnConsoleDefaultsToFalse) {
    struct Case {
        std::optional<SessionInfo> info;
        bool onConsole;
    };
    const Case cases[] = {
        {std::nullopt, false},
        {SessionInfo{std::nullopt, false}, false},
        {SessionInfo{false, false}, false},
        {SessionInfo{true, std::nullopt}, true},
    };
    for (const auto& c : cases) {
        desktop.session.info = c.info;
        EXPECT_EQ(host.state()["onConsole"], c.onConsole);
    }
}

TEST_F(SessionStateTest, LockSourcesAreConsultedInOrderUntilOneReportsALock) {
    struct Case {
        const char* name;
        bool flag;
        std::optional<SessionInfo> info;
        std::optional<FrontmostApplication> front;
        bool locked;
        int frontmostReads;
    };
    const FrontmostApplication loginWindow{88, "com.apple.loginwindow"};
    const FrontmostApplication other{89, "com.apple.LoginWindow"};
    const FrontmostApplication anonymous{90, std::nullopt};
    const Case cases[] = {
        {"nothing says locked", false, SessionInfo{true, false}, other, false, 1},
        {"flag alone", true, SessionInfo{true, false}, std::nullopt, true, 0},
        {"session alone", false, SessionInfo{true, true}, std::nullopt, true, 0},
        {"login window alone", false, SessionInfo{true, false}, loginWindow, true, 1},
        {"no session, login window", false, std::nullopt, loginWindow, true, 1},
        {"no session, nothing in front", false, std::nullopt, std::nullopt, false, 1},
        {"lock entry missing", false, SessionInfo{true, std::nullopt}, anonymous, false, 1},
        {"login window differs in case", false, SessionInfo{true, false}, other, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.session.info = c.info;
        desktop.session.frontmost = c.front;
        desktop.session.frontmostReads = 0;
        if (c.flag) desktop.session.deliver(ScreenNotification::ScreenIsLocked);
        queue.runAll();
        EXPECT_EQ(host.state()["locked"], c.locked);
        EXPECT_EQ(desktop.session.frontmostReads, c.frontmostReads);
        desktop.session.deliver(ScreenNotification::ScreenIsUnlocked);
        queue.runAll();
    }
}

TEST_F(SessionStateTest, NotificationsWaitForTheirJobAndEachEmptiesTheFrames) {
    const struct {
        ScreenNotification notification;
        bool locked;
        bool sleeping;
    } steps[] = {
        {ScreenNotification::ScreenIsLocked, true, false},
        {ScreenNotification::ScreenIsLocked, true, false},
        {ScreenNotification::ScreensDidSleep, true, true},
        {ScreenNotification::ScreenIsUnlocked, false, true},
        {ScreenNotification::ScreensDidWake, false, false},
        {ScreenNotification::ScreensDidWake, false, false},
    };
    for (const auto& step : steps) {
        registerFrames(2);
        const bool lockedBefore = host.locked();
        const bool sleepingBefore = host.sleeping();
        desktop.session.deliver(step.notification);
        // Delivered, not yet applied.
        EXPECT_EQ(host.locked(), lockedBefore);
        EXPECT_EQ(host.sleeping(), sleepingBefore);
        EXPECT_EQ(host.frames().size(), 2u);
        ASSERT_EQ(queue.jobs.size(), 1u);
        queue.runAll();
        EXPECT_EQ(host.locked(), step.locked);
        EXPECT_EQ(host.sleeping(), step.sleeping);
        EXPECT_EQ(host.frames().size(), 0u);
        EXPECT_EQ(host.state()["sleeping"], step.sleeping);
    }
}

TEST_F(SessionStateTest, LockThenUnlockBeforeEitherJobRunsLeavesUnlockedAndNoFrames) {
    registerFrames(3);
    desktop.session.deliver(ScreenNotification::ScreenIsLocked);
    desktop.session.deliver(ScreenNotification::ScreenIsUnlocked);
    desktop.session.deliver(ScreenNotification::ScreensDidSleep);
    desktop.session.deliver(ScreenNotification::ScreensDidWake);
    queue.runAll();
    EXPECT_FALSE(host.locked());
    EXPECT_FALSE(host.sleeping());
    EXPECT_EQ(host.frames().size(), 0u);
}

TEST_F(SessionStateTest, NotificationJobsQueueBehindEarlierJobs) {
    std::vector<std::string> seen;
    queue.post([&] { seen.push_back(host.locked() ? "locked" : "unlocked"); });
    desktop.session.deliver(ScreenNotification::ScreenIsLocked);
    queue.post([&] { seen.push_back(host.locked() ? "locked" : "unlocked"); });
    queue.runAll();
    EXPECT_EQ(seen, (std::vector<std::string>{"unlocked", "locked"}));
}

TEST(SessionObserverTest, JobsThatRunAfterTheHostIsGoneDoNothing) {
    test_support::FakeDesktopParts desktop;
    test_support::ManualQueue queue;
    {
        Host host(desktop.platform, queue);
        ASSERT_TRUE(desktop.session.subscribed());
        desktop.session.deliver(ScreenNotification::ScreenIsLocked);
    }
    desktop.session.deliver(ScreenNotification::ScreensDidSleep);
    EXPECT_EQ(queue.jobs.size(), 2u);
    queue.runAll(); // must not touch the destroyed host (ASan would tell)
}

TEST_F(SessionStateTest, GateDecidesInOrderAndEmptiesFramesOnlyWhenTheScreenIsUnavailable) {
    struct Case {
        const char* name;
        std::optional<SessionInfo> info;
        bool lockFlag;
        bool sleeping;
        bool screenAllowed;
        const char* code;
        bool framesKept;
    };
    const Case cases[] = {
        {"all conditions met", SessionInfo{true, false}, false, false, true, "", true},
        {"no capture permission", SessionInfo{true, false}, false, false, false,
         "screen_permission_required", true},
        {"locked without permission", SessionInfo{true, true}, false, false, false, "mac_locked",
         false},
        {"locked by notification", SessionInfo{true, false}, true, false, true, "mac_locked",
         false},
        {"not on console", SessionInfo{false, false}, false, false, true, "mac_locked", false},
        {"no session", std::nullopt, false, false, true, "mac_locked", false},
        {"displays asleep", SessionInfo{true, false}, false, true, true, "mac_locked", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.session.info = c.info;
        desktop.session.screenAllowed = c.screenAllowed;
        desktop.session.deliver(c.lockFlag ? ScreenNotification::ScreenIsLocked
                                           : ScreenNotification::ScreenIsUnlocked);
        desktop.session.deliver(c.sleeping ? ScreenNotification::ScreensDidSleep
                                           : ScreenNotification::ScreensDidWake);
        queue.runAll();
        for (Gate gate : {Gate::Whole, Gate::InHalves}) {
            registerFrames(2);
            EXPECT_EQ(gateCode(gate), c.code);
            EXPECT_EQ(host.frames().size(), c.framesKept ? 2u : 0u);
            host.frames().clearFrames();
        }
    }
}

// Asked when wanted, the gate's questions are asked when it decides; asked at once, they
// are answered before what happens next.
TEST_F(SessionStateTest, TheGatesQuestionsAreAnsweredWhenWantedOrAtOnce) {
    desktop.session.info = SessionInfo{true, false};
    registerFrames(1);
    auto whenWanted = host.askScreenGate();
    desktop.session.info = SessionInfo{true, true};
    try {
        host.requireScreen(std::move(whenWanted));
        ADD_FAILURE() << "the gate passed a locked screen";
    } catch (const HostError& error) {
        EXPECT_EQ(error.name(), "mac_locked");
    }
    EXPECT_EQ(host.frames().size(), 0u);

    platform::Platform atOnce = desktop.platform;
    atOnce.sideQueries = platform::SideQueries::AtOnce;
    test_support::ManualQueue otherQueue;
    Host other(atOnce, otherQueue);
    desktop.session.info = SessionInfo{true, false};
    auto asked = other.askScreenGate();
    asked.wait(); // answered before the screen locks
    desktop.session.info = SessionInfo{true, true};
    EXPECT_NO_THROW(other.requireScreen(std::move(asked)));
    EXPECT_THROW(other.requireScreen(other.askScreenGate()), HostError);
}

// The gate asks for the capture permission once more itself, and decides on that answer.
class FlippingSession : public platform::fake::FakeSession {
public:
    bool screenCaptureAllowed() override {
        ++screenReads;
        return screenReads % 2 == 1; // granted for the snapshot, refused right after
    }
};

TEST(ScreenGateTest, AsksForTheCapturePermissionAgainAfterTheSnapshot) {
    test_support::FakeDesktopParts parts;
    FlippingSession session;
    platform::Platform platform{
        session,       parts.bundles,       parts.codeSigning, parts.workspace, parts.windowServer,
        parts.capture, parts.accessibility, parts.events,      parts.clock,     parts.uuids};
    test_support::ManualQueue queue;
    Host host(platform, queue);
    try {
        host.requireScreen();
        ADD_FAILURE() << "the gate passed";
    } catch (const HostError& error) {
        EXPECT_EQ(error.name(), "screen_permission_required");
    }
    EXPECT_EQ(session.screenReads, 2);
}

} // namespace
} // namespace host
