// The Linux session adapter on a private virtual session: facts, the prompt, and the
// notifications as they reach a host.

#include "common/unique_handle.h"
#include "host/base/host_error.h"
#include "host/platform/linux/glib/dbus.h"
#include "host/platform/linux/glib/glib_main_loop.h"
#include "host/platform/linux/session/linux_session.h"
#include "host/platform/linux/x11/x11_desktop.h"
#include "host/platform/linux/x11/x11_display.h"
#include "host/session/host.h"
#include "tests/host/session/virtual_session.h"
#include "tests/support/manual_queue.h"
#include "tests/support/no_ports.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <unistd.h>

namespace host {
namespace {

using platform::linux_desktop::GlibMainLoop;
using platform::linux_desktop::makeLinuxSession;
using platform::x11::X11DisplayFacts;

std::unique_ptr<testing::VirtualSession>& virtualSession() {
    static std::unique_ptr<testing::VirtualSession> session;
    return session;
}

std::optional<std::string> bundleOf(std::int32_t pid) {
    return "com.example.pid" + std::to_string(pid);
}

class LinuxSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { virtualSession() = testing::VirtualSession::start(); }
    static void TearDownTestSuite() { virtualSession().reset(); }

    void SetUp() override {
        if (!testing::VirtualSession::available())
            GTEST_SKIP() << "Xvfb or dbus-daemon is not installed";
        ASSERT_TRUE(virtualSession()) << "the virtual session did not start";
        ::setenv("DISPLAY", virtualSession()->display().c_str(), 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", virtualSession()->busAddress().c_str(), 1);
        session = makeLinuxSession(std::make_unique<X11DisplayFacts>(), &bundleOf);
    }
    void TearDown() override {
        if (virtualSession()) {
            virtualSession()->setScreenSaverActive(false);
            virtualSession()->xset("reset");
        }
    }

    testing::VirtualSession& desktop() { return *virtualSession(); }
    std::unique_ptr<platform::SessionPort> session;
};

TEST_F(LinuxSessionTest, AReachableDisplayIsAnUnlockedConsoleSessionWithCapture) {
    const auto info = session->session();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->onConsole, true);
    EXPECT_EQ(info->screenIsLocked, false);
    EXPECT_TRUE(session->screenCaptureAllowed());
    EXPECT_TRUE(session->accessibilityTrusted());
    EXPECT_EQ(session->ownBundleIdentifier(), "com.example.pid" + std::to_string(::getpid()));
}

TEST_F(LinuxSessionTest, TheScreenSaverReportsTheLock) {
    ASSERT_TRUE(desktop().setScreenSaverActive(true));
    EXPECT_EQ(session->session()->screenIsLocked, true);
    ASSERT_TRUE(desktop().setScreenSaverActive(false));
    EXPECT_EQ(session->session()->screenIsLocked, false);
}

TEST_F(LinuxSessionTest, CallsSentTogetherAnswerInOrderEachOnItsOwn) {
    namespace dbus = platform::linux_desktop::dbus;
    ASSERT_TRUE(desktop().setScreenSaverActive(true));
    const dbus::Connection bus = dbus::connectSessionBus();
    ASSERT_TRUE(bus);
    GDBusConnection* b = bus.get();
    auto batch = [b](GDBusConnection* second) {
        return std::vector<dbus::Call>{
            {b, "org.example.Absent", "/org/example/Absent", "org.example.Absent", "Get", "(b)"},
            {b, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", "(s)"},
            {b, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
             "org.freedesktop.ScreenSaver", "GetActive", "(b)"},
            // The right service, the wrong reply type: refused like any other failure.
            {b, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
             "org.freedesktop.ScreenSaver", "GetActive", "(s)"},
            // With parameters, on the batch's second bus.
            {second, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "NameHasOwner", "(b)", g_variant_new("(s)", "org.freedesktop.ScreenSaver")},
        };
    };
    const auto replies = dbus::callTogether(batch(b));
    ASSERT_EQ(replies.size(), 5u);
    EXPECT_FALSE(replies[0]);
    ASSERT_TRUE(replies[1]);
    const gchar* address = nullptr;
    g_variant_get(replies[1].get(), "(&s)", &address);
    EXPECT_EQ(std::string(address), desktop().busAddress());
    ASSERT_TRUE(replies[2]);
    gboolean active = FALSE;
    g_variant_get(replies[2].get(), "(b)", &active);
    EXPECT_TRUE(active);
    EXPECT_FALSE(replies[3]);
    ASSERT_TRUE(replies[4]);
    gboolean owned = FALSE;
    g_variant_get(replies[4].get(), "(b)", &owned);
    EXPECT_TRUE(owned);

    // A call on no bus fails alone, and its parameters are still released (the leak check
    // of the debug build sees them otherwise).
    const auto partly = dbus::callTogether(batch(nullptr));
    ASSERT_EQ(partly.size(), 5u);
    EXPECT_TRUE(partly[1]);
    EXPECT_FALSE(partly[4]);
}

TEST_F(LinuxSessionTest, TheAccessibilityPromptEnablesAccessibility) {
    session->requestAccessibility();
    EXPECT_EQ(desktop().accessibilityEnabled(), true);
    session->requestScreenCapture(); // nothing to ask on X11; must not disturb anything
    EXPECT_TRUE(session->screenCaptureAllowed());
}

TEST_F(LinuxSessionTest, TheFrontmostApplicationCreatedTheActiveWindow) {
    xcb_connection_t* c = xcb_connect(desktop().display().c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(c), 0);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto atom = [c](const char* name) {
        auto* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t value = reply->atom;
        std::free(reply);
        return value;
    };
    const xcb_atom_t active = atom("_NET_ACTIVE_WINDOW");
    const xcb_atom_t pid = atom("_NET_WM_PID");
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const std::uint32_t owner = 4242;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, pid, XCB_ATOM_CARDINAL, 32, 1, &owner);
    const xcb_window_t none = XCB_WINDOW_NONE;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, active, XCB_ATOM_WINDOW, 32, 1,
                        &none);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    EXPECT_FALSE(session->frontmostApplication());

    xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, active, XCB_ATOM_WINDOW, 32, 1,
                        &window);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    // The window claims process 4242; the server knows that this process created it.
    const auto front = session->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->pid, ::getpid());
    EXPECT_EQ(front->bundleId, "com.example.pid" + std::to_string(::getpid()));
    xcb_delete_property(c, screen->root, active);
    xcb_disconnect(c);
}

// Runs the main context until `done` holds, for at most a few seconds.
template <typename Condition> bool spinUntil(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        g_main_context_iteration(nullptr, FALSE);
        ::usleep(1000);
    }
    return true;
}

TEST_F(LinuxSessionTest, NotificationsReachTheHostAndForgetItsFrames) {
    test_support::FakeDesktopParts parts;
    platform::Platform platform{
        *session,      parts.bundles,       parts.codeSigning, parts.workspace, parts.windowServer,
        parts.capture, parts.accessibility, parts.events,      parts.clock,     parts.uuids};
    GlibMainLoop queue;
    Host host(platform, queue);
    host.requireScreen(); // an available screen passes

    struct Step {
        const char* name;
        std::function<bool()> cause;
        bool locked;
        bool sleeping;
    };
    const Step steps[] = {
        {"lock", [&] { return desktop().setScreenSaverActive(true); }, true, false},
        {"unlock", [&] { return desktop().setScreenSaverActive(false); }, false, false},
        {"sleep", [&] { return desktop().xset("activate"); }, false, true},
        {"wake", [&] { return desktop().xset("reset"); }, false, false},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        host.frames().registerFrame(1, 2, {});
        ASSERT_TRUE(step.cause());
        EXPECT_TRUE(spinUntil([&] {
            return host.frames().size() == 0 && host.locked() == step.locked &&
                   host.sleeping() == step.sleeping;
        }));
        EXPECT_EQ(host.state()["locked"], step.locked);
        EXPECT_EQ(host.state()["sleeping"], step.sleeping);
    }

    ASSERT_TRUE(desktop().xset("activate"));
    ASSERT_TRUE(spinUntil([&] { return host.sleeping(); }));
    host.frames().registerFrame(1, 2, {});
    try {
        host.requireScreen();
        ADD_FAILURE() << "the gate passed while the displays sleep";
    } catch (const HostError& error) {
        EXPECT_EQ(error.name(), "mac_locked");
    }
    EXPECT_EQ(host.frames().size(), 0u);
}

// A window of the test's own on `display`, mapped, kept as long as the connection.
struct OwnWindow {
    common::Owned<xcb_connection_t, xcb_disconnect> connection;
    xcb_window_t window = XCB_NONE;

    explicit OwnWindow(const std::string& display)
        : connection(xcb_connect(display.c_str(), nullptr)) {
        xcb_connection_t* c = connection.get();
        if (xcb_connection_has_error(c)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 150, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        xcb_map_window(c, window);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }
};

bool listed(platform::WindowServerPort& server, xcb_window_t window) {
    for (int i = 0; i < 100; ++i, ::usleep(20000)) {
        const auto list = server.windowList(platform::WindowListKind::OnScreen);
        if (!list) continue;
        for (const auto& entry : *list)
            if (entry.number == window) return true;
    }
    return false;
}

// A display restart (or a session switch) ends the connection; the next request finds
// the display again, with windows listed and captured, and the session back.
TEST_F(LinuxSessionTest, TheDesktopFollowsItsDisplayThroughARestart) {
    auto server = platform::x11::openX11Desktop();
    ASSERT_TRUE(server);
    {
        OwnWindow before(desktop().display());
        ASSERT_NE(before.window, XCB_NONE);
        EXPECT_TRUE(listed(*server->windowServer, before.window));
    }
    ASSERT_TRUE(desktop().restartDisplay());
    OwnWindow after(desktop().display());
    ASSERT_NE(after.window, XCB_NONE);
    EXPECT_TRUE(listed(*server->windowServer, after.window));
    std::promise<bool> captured;
    server->capture->captureWindow(after.window, 100, 75,
                                   [&](auto image) { captured.set_value(image.has_value()); });
    EXPECT_TRUE(captured.get_future().get());
    EXPECT_TRUE(session->session());
    EXPECT_TRUE(session->screenCaptureAllowed());
}

TEST(DisplayLocalityTest, OnlyALocalSocketDisplayCountsAsTheConsole) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved != nullptr ? saved : "";
    const struct {
        const char* display;
        bool local;
    } cases[] = {
        {":0", true},
        {":12.0", true},
        {"unix:3", true},
        {"/tmp/x/org:0", true},
        {"localhost:10.0", false},
        {"example.org:0", false},
        {"", false},
        {"garbage", false},
    };
    for (const auto& c : cases) {
        ::setenv("DISPLAY", c.display, 1);
        EXPECT_EQ(platform::x11::localDisplay(), c.local) << c.display;
    }
    if (saved != nullptr)
        ::setenv("DISPLAY", display.c_str(), 1);
    else
        ::unsetenv("DISPLAY");
}

TEST(LinuxSessionWithoutDisplayTest, IsSessionLessAndStillAnswers) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved != nullptr ? saved : "";
    ::unsetenv("DISPLAY");
    {
        // An X11 display that cannot be reached, and no display server at all.
        std::unique_ptr<platform::linux_desktop::DisplayFacts> displays[2];
        displays[0] = std::make_unique<X11DisplayFacts>();
        for (auto& display : displays) {
            auto session = makeLinuxSession(
                std::move(display), [](std::int32_t) { return std::optional<std::string>(); });
            EXPECT_FALSE(session->session());
            EXPECT_FALSE(session->screenCaptureAllowed());
            EXPECT_FALSE(session->frontmostApplication());
            EXPECT_FALSE(session->ownBundleIdentifier());
            session->subscribe([](platform::ScreenNotification) {});
        }
    }
    if (saved != nullptr) ::setenv("DISPLAY", display.c_str(), 1);
}

} // namespace
} // namespace host
