// The GNOME Wayland adapters against a real (virtual, headless) GNOME Shell with the GTK3
// test application running natively on Wayland. Run inside
// DESKTOP=gnome-wayland tools/desktop/run.sh.

#include "host/platform/linux/accessibility/atspi_accessibility.h"
#include "host/platform/linux/gnome/gnome_desktop.h"
#include "host/platform/linux/gnome/gnome_display_facts.h"
#include "host/platform/linux/gnome/shell_windows.h"
#include "host/platform/linux/session/linux_session.h"
#include "test_app.h"
#include "test_desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <future>

using namespace desktop_test;
using host::platform::CapturedImage;
using host::platform::ScreenNotification;
using host::platform::WindowInfo;
using host::platform::WindowListKind;
using host::platform::linux_desktop::DisplayServer;

namespace {

bool onGnome() {
    return currentDesktop() == Desktop::GnomeWayland;
}

#define REQUIRE_GNOME()                                                                            \
    if (!onGnome())                                                                                \
    GTEST_SKIP() << "needs the virtual GNOME desktop: DESKTOP=gnome-wayland tools/desktop/run.sh"

// One desktop backend for the whole program, as the host holds one for its life: its
// RemoteDesktop session is the seat's keyboard.
DisplayServer& desktop() {
    static DisplayServer server = [] {
        auto opened = host::platform::gnome::openGnomeDesktop();
        if (!opened) throw std::runtime_error("GNOME Shell does not answer");
        return std::move(*opened);
    }();
    return server;
}

std::optional<WindowInfo> ownedBy(const std::vector<WindowInfo>& list, int pid) {
    for (const auto& w : list)
        if (w.ownerPid == pid) return w;
    return std::nullopt;
}

std::ptrdiff_t indexOwnedBy(const std::vector<WindowInfo>& list, int pid) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].ownerPid == pid) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

// Polls the window list until `ok` holds (the compositor places and maps windows on its own).
template <typename Ok> std::vector<WindowInfo> listUntil(DisplayServer& server, Ok ok) {
    std::vector<WindowInfo> list;
    for (int i = 0; i < 250; ++i) {
        list = server.windowServer->windowList(WindowListKind::OnScreenExcludingDesktopElements)
                   .value_or(std::vector<WindowInfo>{});
        if (ok(list)) break;
        usleep(20000);
    }
    return list;
}

std::optional<CapturedImage> capture(DisplayServer& server, std::uint32_t window, int width,
                                     int height) {
    std::promise<std::optional<CapturedImage>> result;
    server.capture->captureWindow(window, width, height, [&](std::optional<CapturedImage> image) {
        result.set_value(std::move(image));
    });
    auto future = result.get_future();
    if (future.wait_for(10s) != std::future_status::ready) return std::nullopt;
    return future.get();
}

struct Bgr {
    int b, g, r;
};
Bgr pixel(const CapturedImage& image, int x, int y) {
    const unsigned char* p = image.bgrx.data() + y * image.stride + x * 4;
    return {p[0], p[1], p[2]};
}
bool isMagenta(Bgr p) {
    return p.r > 200 && p.g < 60 && p.b > 200;
}
bool isGreen(Bgr p) {
    return p.g > 150 && p.r < 60 && p.b < 60;
}

bool overlap(const host::platform::Rect& a, const host::platform::Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

template <typename T>
std::optional<T> attribute(host::platform::AccessibilityPort& ax, host::platform::Element& e,
                           const std::string& name) {
    auto read = ax.copyAttribute(e, name);
    if (read.status != host::platform::AxStatus::Success || !read.value) return std::nullopt;
    if (const T* v = std::get_if<T>(&*read.value)) return *v;
    return std::nullopt;
}

// Presses and releases a key as the host does; whether the port took both for the process.
bool tap(host::platform::EventPort& events, int pid, std::uint16_t key) {
    for (bool down : {true, false}) {
        auto event = events.createKeyboardEvent(key, down);
        if (!event) {
            ADD_FAILURE() << "no event made for key " << key;
            return false;
        }
        if (!events.postToPid(pid, *event)) return false;
    }
    return true;
}

} // namespace

TEST(GnomeDesktop, ListsANativeWindowWithTheOwnerTheCompositorKnows) {
    REQUIRE_GNOME();
    TestApp app(TESTAPP_PATH, {"--title", "Listed window", "--size", "400x300"});
    ASSERT_TRUE(app.ready());
    DisplayServer& server = desktop();
    auto list = listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    auto window = ownedBy(list, app.pid());
    ASSERT_TRUE(window) << "the test application's window is not listed";
    EXPECT_EQ(window->layer, 0);
    EXPECT_EQ(window->name, "Listed window");
    EXPECT_EQ(window->alpha, 1.0);
    ASSERT_TRUE(window->bounds);
    // The frame holds the 400 × 300 content and the header bar the toolkit draws above it,
    // without the shadows around them.
    EXPECT_EQ(window->bounds->width, 400);
    EXPECT_GT(window->bounds->height, 300);
    EXPECT_LT(window->bounds->height, 400);
    ASSERT_TRUE(window->number);
}

TEST(GnomeDesktop, ListsFrontToBack) {
    REQUIRE_GNOME();
    TestApp back(TESTAPP_PATH, {"--title", "Back"});
    ASSERT_TRUE(back.ready());
    DisplayServer& server = desktop();
    listUntil(server, [&](const auto& l) { return ownedBy(l, back.pid()).has_value(); });
    TestApp front(TESTAPP_PATH, {"--cover", "--title", "Front"});
    ASSERT_TRUE(front.ready());
    auto list = listUntil(server, [&](const auto& l) {
        return ownedBy(l, back.pid()).has_value() && ownedBy(l, front.pid()).has_value();
    });
    const auto b = indexOwnedBy(list, back.pid());
    const auto f = indexOwnedBy(list, front.pid());
    ASSERT_GE(b, 0);
    ASSERT_GE(f, 0);
    EXPECT_LT(f, b) << "the newer window opens in front";
}

TEST(GnomeDesktop, CapturesOneWindowWithoutTheWindowCoveringIt) {
    REQUIRE_GNOME();
    TestApp app(TESTAPP_PATH, {"--size", "600x400"});
    ASSERT_TRUE(app.ready());
    DisplayServer& server = desktop();
    listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    // Bigger than the screen's middle, so that wherever the Shell puts it, it covers.
    TestApp cover(TESTAPP_PATH, {"--cover", "--size", "1100x900"});
    ASSERT_TRUE(cover.ready());
    auto list = listUntil(server, [&](const auto& l) {
        return ownedBy(l, app.pid()).has_value() && ownedBy(l, cover.pid()).has_value();
    });
    const auto window = ownedBy(list, app.pid());
    const auto over = ownedBy(list, cover.pid());
    ASSERT_TRUE(window && over && window->bounds && over->bounds);
    ASSERT_TRUE(overlap(*window->bounds, *over->bounds)) << "the cover does not cover";
    ASSERT_LT(indexOwnedBy(list, cover.pid()), indexOwnedBy(list, app.pid()));

    const int width = static_cast<int>(window->bounds->width);
    const int height = static_cast<int>(window->bounds->height);
    auto image = capture(server, static_cast<std::uint32_t>(*window->number), width, height);
    ASSERT_TRUE(image) << "the window was not captured";
    EXPECT_EQ(image->width, width);
    EXPECT_EQ(image->height, height);
    EXPECT_EQ(image->stride, static_cast<std::size_t>(width) * 4);
    ASSERT_EQ(image->bgrx.size(), image->stride * static_cast<std::size_t>(height));
    // The magenta strip lies across the top of the content, below the header bar.
    int magentaRows = 0;
    for (int y = 0; y < height; ++y)
        if (isMagenta(pixel(*image, width / 2, y))) ++magentaRows;
    EXPECT_GE(magentaRows, 30);
    int green = 0;
    for (int y = 0; y < height; y += 4)
        for (int x = 0; x < width; x += 4)
            if (isGreen(pixel(*image, x, y))) ++green;
    EXPECT_EQ(green, 0) << "the covering window is in the capture";
}

TEST(GnomeDesktop, CapturesAtTheAskedSize) {
    REQUIRE_GNOME();
    TestApp app(TESTAPP_PATH, {"--size", "800x600"});
    ASSERT_TRUE(app.ready());
    DisplayServer& server = desktop();
    auto list = listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    const auto window = ownedBy(list, app.pid());
    ASSERT_TRUE(window && window->number);
    auto image = capture(server, static_cast<std::uint32_t>(*window->number), 200, 160);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 200);
    EXPECT_EQ(image->height, 160);
    ASSERT_EQ(image->bgrx.size(), 200u * 4 * 160);
    EXPECT_TRUE(image->lease) << "a capture counts against the images held at once";
}

TEST(GnomeDesktop, AWindowThatIsNotThereIsNotCaptured) {
    REQUIRE_GNOME();
    DisplayServer& server = desktop();
    auto list = listUntil(server, [](const auto&) { return true; });
    std::uint32_t absent = 12345;
    for (const auto& w : list)
        if (w.number == absent) ++absent;
    EXPECT_FALSE(capture(server, absent, 100, 100));
}

TEST(GnomeDesktop, ShareableContentNamesEachWindowWithItsOwner) {
    REQUIRE_GNOME();
    TestApp app(TESTAPP_PATH);
    ASSERT_TRUE(app.ready());
    DisplayServer& server = desktop();
    auto list = listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    const auto window = ownedBy(list, app.pid());
    ASSERT_TRUE(window && window->number);
    std::promise<std::optional<std::vector<host::platform::ShareableWindow>>> result;
    server.capture->shareableContent([&](auto windows) { result.set_value(std::move(windows)); });
    const auto windows = result.get_future().get();
    ASSERT_TRUE(windows);
    bool found = false;
    for (const auto& w : *windows)
        if (w.windowId == *window->number) {
            found = true;
            EXPECT_EQ(w.owningPid, app.pid());
        }
    EXPECT_TRUE(found);
}

TEST(GnomeDesktop, TheSessionSeesTheScreenShieldLockAndUnlock) {
    REQUIRE_GNOME();
    auto facts = std::make_unique<host::platform::gnome::GnomeDisplayFacts>(
        host::platform::linux_desktop::dbus::connectSessionBus());
    EXPECT_TRUE(facts->reachable());
    EXPECT_TRUE(facts->local());
    EXPECT_TRUE(facts->captureAvailable());
    auto session = host::platform::linux_desktop::makeLinuxSession(
        std::move(facts), [](std::int32_t) { return std::nullopt; });
    std::vector<ScreenNotification> told;
    session->subscribe([&](ScreenNotification n) { told.push_back(n); });
    auto before = session->session();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->screenIsLocked, false);
    EXPECT_TRUE(before->onConsole);

    const auto lockedIs = [&](bool want) {
        for (int i = 0; i < 250; ++i) {
            g_main_context_iteration(nullptr, FALSE);
            auto now = session->session();
            if (now && now->screenIsLocked == want) return true;
            usleep(20000);
        }
        return false;
    };
    ASSERT_EQ(std::system(SCREENSAVER_TOOL " on"), 0);
    EXPECT_TRUE(lockedIs(true));
    ASSERT_EQ(std::system(SCREENSAVER_TOOL " off"), 0);
    EXPECT_TRUE(lockedIs(false));
    for (int i = 0; i < 50; ++i)
        g_main_context_iteration(nullptr, FALSE);
    EXPECT_NE(std::find(told.begin(), told.end(), ScreenNotification::ScreenIsLocked), told.end());
    EXPECT_NE(std::find(told.begin(), told.end(), ScreenNotification::ScreenIsUnlocked),
              told.end());
}

TEST(GnomeDesktop, TheFocusedWindowsOwnerIsTheFrontmostApplication) {
    REQUIRE_GNOME();
    DisplayServer& server = desktop();
    TestApp app(TESTAPP_PATH);
    ASSERT_TRUE(app.ready());
    listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    ASSERT_TRUE(clickUntilActive(app, "entry"));
    EXPECT_EQ(server.facts->activeWindowPid(), app.pid());
}

TEST(GnomeDesktop, TabGoesToTheFocusedWindowOfTheTargetOnly) {
    REQUIRE_GNOME();
    DisplayServer& server = desktop();
    TestApp app(TESTAPP_PATH);
    ASSERT_TRUE(app.ready());
    listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    ASSERT_TRUE(clickUntilActive(app, "entry"));
    app.command("focus entry");
    ASSERT_TRUE(app.waitFor("focused entry"));

    // The application says where its focus went: Tab moves it on from the entry.
    ASSERT_TRUE(tap(*server.events, app.pid(), 48));
    EXPECT_TRUE(app.waitFor("focus password", 3s));

    // A key meant for another process is not sent while this one has the focus, and the
    // port says so.
    EXPECT_FALSE(tap(*server.events, static_cast<int>(::getpid()), 48));
    EXPECT_FALSE(app.waitFor("focus button", 700ms)) << "the key reached the focused window";
    // The same key for the process in front does arrive.
    ASSERT_TRUE(tap(*server.events, app.pid(), 48));
    EXPECT_TRUE(app.waitFor("focus button", 3s));
    // And a key that is not one the host sends is not made at all.
    EXPECT_EQ(server.events->createKeyboardEvent(0, true), nullptr);
}

TEST(GnomeDesktop, AccessibilityPlacesTheToolkitsWindowCoordinatesOnTheScreen) {
    REQUIRE_GNOME();
    using host::platform::Point;
    using host::platform::Size;
    DisplayServer& server = desktop();
    TestApp app(TESTAPP_PATH, {"--size", "500x400"});
    ASSERT_TRUE(app.ready());
    auto list = listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    ASSERT_TRUE(clickUntilActive(app, "entry"));
    list = listUntil(server, [&](const auto& l) { return ownedBy(l, app.pid()).has_value(); });
    const auto window = ownedBy(list, app.pid());
    ASSERT_TRUE(window && window->bounds);

    host::platform::linux_atspi::AtspiAccessibility ax(*server.windowServer,
                                                       server.placement.get());
    auto application = ax.createApplication(app.pid());
    ASSERT_TRUE(application);
    // The focused window is where the compositor shows its frame, as the host's checks
    // before an action need it.
    auto focused = ax.copyAttribute(*application, "AXFocusedWindow");
    ASSERT_EQ(focused.status, host::platform::AxStatus::Success);
    auto* focusedWindow = std::get_if<host::platform::ElementRef>(&*focused.value);
    ASSERT_TRUE(focusedWindow && *focusedWindow);
    const auto position = attribute<Point>(ax, **focusedWindow, "AXPosition");
    const auto size = attribute<Size>(ax, **focusedWindow, "AXSize");
    ASSERT_TRUE(position && size);
    EXPECT_EQ(position->x, window->bounds->x);
    EXPECT_EQ(position->y, window->bounds->y);
    EXPECT_EQ(size->width, window->bounds->width);
    EXPECT_EQ(size->height, window->bounds->height);

    // A point on the screen finds the button there, and the button is where it is drawn.
    const auto button = widgetOnScreen(app, "button");
    ASSERT_TRUE(button);
    auto systemWide = ax.createSystemWide();
    auto hit = ax.elementAtPosition(*systemWide, static_cast<float>(button->x + button->width / 2),
                                    static_cast<float>(button->y + button->height / 2));
    ASSERT_EQ(hit.status, host::platform::AxStatus::Success);
    ASSERT_TRUE(hit.element);
    EXPECT_EQ(attribute<std::string>(ax, *hit.element, "AXRole"), "AXButton");
    EXPECT_EQ(attribute<std::string>(ax, *hit.element, "AXTitle"), "Press me");
    const auto at = attribute<Point>(ax, *hit.element, "AXPosition");
    ASSERT_TRUE(at);
    EXPECT_EQ(at->x, button->x);
    EXPECT_EQ(at->y, button->y);
}
