// The X11 window server, capture and keyboard adapters against a real (virtual) desktop
// with the GTK3 test application on it. Run inside tools/desktop/run.sh.

#include "common/unique_handle.h"
#include "host/platform/backend.h"
#include "host/platform/linux/x11/window_tree.h"
#include "test_app.h"
#include "x11_ports.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <future>
#include <memory>

using namespace desktop_test;
using host::platform::CapturedImage;
using host::platform::WindowInfo;
using host::platform::WindowListKind;

namespace {

bool onDesktop() {
    return std::getenv("TARNWICK_DESKTOP") != nullptr;
}

#define REQUIRE_DESKTOP()                                                                          \
    if (!onDesktop()) GTEST_SKIP() << "needs the virtual desktop: run under tools/desktop/run.sh"

template <typename T> using Freed = common::Malloced<T>;

// A connection of the test's own, to look at windows the way a second client sees them.
class TestX {
public:
    TestX() : c_(xcb_connect(nullptr, nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_.get())).data->root;
    }
    xcb_connection_t* get() const { return c_.get(); }

    // The window's own area in root coordinates.
    host::platform::Rect clientArea(xcb_window_t w) {
        Freed<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(get(), xcb_get_geometry(get(), w), nullptr));
        Freed<xcb_translate_coordinates_reply_t> t(xcb_translate_coordinates_reply(
            get(), xcb_translate_coordinates(get(), w, root_, 0, 0), nullptr));
        if (!g || !t) return {};
        return {double(t->dst_x), double(t->dst_y), double(g->width), double(g->height)};
    }

    // An unmanaged (override-redirect) window, like a menu, mapped at x, y.
    xcb_window_t popup(int x, int y, int width, int height) {
        xcb_window_t w = xcb_generate_id(get());
        const std::uint32_t values[] = {1};
        xcb_create_window(get(), XCB_COPY_FROM_PARENT, w, root_, static_cast<std::int16_t>(x),
                          static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(get(), w);
        Freed<xcb_get_input_focus_reply_t> sync(
            xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
        return w;
    }

    xcb_atom_t atom(const std::string& name) {
        Freed<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
            get(), xcb_intern_atom(get(), 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
            nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    // The first 32-bit value of a window's property, as any client may read (and write) it.
    std::optional<std::uint32_t> cardinal(xcb_window_t w, const std::string& property) {
        Freed<xcb_get_property_reply_t> p(xcb_get_property_reply(
            get(), xcb_get_property(get(), 0, w, atom(property), XCB_ATOM_CARDINAL, 0, 1),
            nullptr));
        if (!p || p->format != 32 || xcb_get_property_value_length(p.get()) < 4) return {};
        return *static_cast<const std::uint32_t*>(xcb_get_property_value(p.get()));
    }

    // Takes the selection a compositing manager of screen 0 holds, as one would at start.
    void becomeCompositingManager() {
        xcb_window_t w = xcb_generate_id(get());
        xcb_create_window(get(), XCB_COPY_FROM_PARENT, w, root_, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(get(), w, atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
        Freed<xcb_get_input_focus_reply_t> sync(
            xcb_get_input_focus_reply(get(), xcb_get_input_focus(get()), nullptr));
    }

private:
    common::Owned<xcb_connection_t, xcb_disconnect> c_;
    xcb_window_t root_ = 0;
};

std::string testApp() {
    return TESTAPP_PATH;
}

std::optional<WindowInfo> find(const std::vector<WindowInfo>& list, std::uint32_t number) {
    for (const auto& w : list)
        if (w.number == number) return w;
    return std::nullopt;
}

std::ptrdiff_t indexOf(const std::vector<WindowInfo>& list, std::uint32_t number) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].number == number) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

std::optional<CapturedImage> capture(DesktopPorts& ports, std::uint32_t window, int width,
                                     int height) {
    std::promise<std::optional<CapturedImage>> result;
    ports.capture->captureWindow(window, width, height, [&](std::optional<CapturedImage> image) {
        result.set_value(std::move(image));
    });
    auto future = result.get_future();
    if (future.wait_for(5s) != std::future_status::ready) return std::nullopt;
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

// Polls the window list until `ok` holds (the window manager works asynchronously).
template <typename Ok>
std::vector<WindowInfo> listUntil(DesktopPorts& ports, WindowListKind kind, Ok ok) {
    std::vector<WindowInfo> list;
    for (int i = 0; i < 250; ++i) {
        list = ports.windowServer->windowList(kind).value_or(std::vector<WindowInfo>{});
        if (ok(list)) break;
        usleep(20000);
    }
    return list;
}

} // namespace

// Without a display the backend chosen is the session-less one: every port reports nothing.
TEST(DesktopAdapters, WithoutADisplayEveryPortReportsNothing) {
    const char* saved = std::getenv("DISPLAY");
    std::string display = saved ? saved : "";
    unsetenv("DISPLAY");
    EXPECT_FALSE(host::platform::x11::openX11Desktop());
    auto backend = host::platform::openBackend();
    if (saved) setenv("DISPLAY", display.c_str(), 1);

    auto& platform = backend->platform();
    EXPECT_FALSE(platform.windowServer.windowList(WindowListKind::OnScreen));
    EXPECT_EQ(platform.events.createKeyboardEvent(48, true), nullptr);
    EXPECT_FALSE(platform.session.session());
    EXPECT_FALSE(platform.session.screenCaptureAllowed());
    std::promise<bool> captured;
    platform.capture.captureWindow(1234, 10, 10,
                                   [&](auto image) { captured.set_value(image.has_value()); });
    EXPECT_FALSE(captured.get_future().get());
    std::promise<bool> listed;
    platform.capture.shareableContent([&](auto windows) { listed.set_value(windows.has_value()); });
    EXPECT_FALSE(listed.get_future().get());
}

TEST(DesktopAdapters, ListsTheApplicationWindowWithItsFrameBounds) {
    REQUIRE_DESKTOP();
    TestApp app(testApp(),
                {"--title", "Listed window", "--size", "400x300", "--position", "100,80"});
    ASSERT_TRUE(app.ready());
    DesktopPorts ports = openDesktopPorts();
    auto list = listUntil(ports, WindowListKind::OnScreenExcludingDesktopElements,
                          [&](const auto& l) { return find(l, app.window()).has_value(); });
    auto window = find(list, app.window());
    ASSERT_TRUE(window);
    EXPECT_EQ(window->ownerPid, app.pid());
    EXPECT_EQ(window->layer, 0);
    EXPECT_EQ(window->name, "Listed window");
    EXPECT_EQ(window->alpha, 1.0);

    // The bounds are the frame's: they hold the client area, with the title bar above it.
    TestX x;
    auto client = x.clientArea(app.window());
    ASSERT_TRUE(window->bounds);
    const auto& b = *window->bounds;
    EXPECT_EQ(client.width, 400);
    EXPECT_EQ(client.height, 300);
    EXPECT_LE(b.x, client.x);
    EXPECT_LT(b.y, client.y);
    EXPECT_GE(b.x + b.width, client.x + client.width);
    EXPECT_GE(b.y + b.height, client.y + client.height);
    EXPECT_GT(b.height, client.height);
}

TEST(DesktopAdapters, TheOwnerIsTheProcessTheServerKnowsNotTheOneAWindowClaims) {
    REQUIRE_DESKTOP();
    TestApp real(testApp(), {"--title", "Real", "--size", "300x200", "--position", "40,40"});
    ASSERT_TRUE(real.ready());
    TestApp impostor(testApp(), {"--title", "Impostor", "--size", "300x200", "--position", "400,40",
                                 "--claim-pid", std::to_string(real.pid())});
    ASSERT_TRUE(impostor.ready());
    TestX x;
    ASSERT_EQ(x.cardinal(impostor.window(), "_NET_WM_PID"), static_cast<std::uint32_t>(real.pid()))
        << "the impostor's claim is in place";

    DesktopPorts ports = openDesktopPorts();
    auto list = listUntil(ports, WindowListKind::OnScreen, [&](const auto& l) {
        return find(l, real.window()) && find(l, impostor.window());
    });
    ASSERT_TRUE(find(list, impostor.window()));
    EXPECT_EQ(find(list, impostor.window())->ownerPid, impostor.pid());
    EXPECT_EQ(find(list, real.window())->ownerPid, real.pid());

    std::promise<std::optional<std::vector<host::platform::ShareableWindow>>> content;
    ports.capture->shareableContent([&](auto windows) { content.set_value(std::move(windows)); });
    const auto windows = content.get_future().get();
    ASSERT_TRUE(windows);
    bool listed = false;
    for (const auto& window : *windows) {
        if (window.windowId != impostor.window()) continue;
        listed = true;
        EXPECT_EQ(window.owningPid, impostor.pid());
    }
    EXPECT_TRUE(listed);
}

TEST(DesktopAdapters, OpacityCountsOnlyWhileACompositingManagerDrawsIt) {
    REQUIRE_DESKTOP();
    TestApp cover(testApp(), {"--cover", "--popup", "--size", "200x150", "--position", "600,400",
                              "--opacity", "0"});
    ASSERT_TRUE(cover.ready());
    TestX x;
    ASSERT_EQ(x.cardinal(cover.window(), "_NET_WM_WINDOW_OPACITY"), 0u);
    DesktopPorts ports = openDesktopPorts();
    // The window manager here draws no transparency: the cover is drawn, and seen, opaque.
    auto list = listUntil(ports, WindowListKind::OnScreen,
                          [&](const auto& l) { return find(l, cover.window()).has_value(); });
    ASSERT_TRUE(find(list, cover.window()));
    EXPECT_EQ(find(list, cover.window())->alpha, 1.0);
    // With a compositing manager it is see-through. (The selection lasts as long as this
    // test's connection.)
    x.becomeCompositingManager();
    list = listUntil(ports, WindowListKind::OnScreen, [&](const auto& l) {
        auto window = find(l, cover.window());
        return window && window->alpha == 0.0;
    });
    ASSERT_TRUE(find(list, cover.window()));
    EXPECT_EQ(find(list, cover.window())->alpha, 0.0);
}

TEST(DesktopAdapters, AToolkitPopupTypedAsNormalIsNoOrdinaryWindow) {
    REQUIRE_DESKTOP();
    TestApp popup(testApp(), {"--popup", "--size", "200x150", "--position", "300,300"});
    ASSERT_TRUE(popup.ready());
    DesktopPorts ports = openDesktopPorts();
    auto list = listUntil(ports, WindowListKind::OnScreen,
                          [&](const auto& l) { return find(l, popup.window()).has_value(); });
    ASSERT_TRUE(find(list, popup.window()));
    EXPECT_NE(find(list, popup.window())->layer, 0);
}

TEST(DesktopAdapters, LongTitlesAreReadWhole) {
    REQUIRE_DESKTOP();
    std::string title;
    for (int i = 0; i < 3000; ++i)
        title += "\u00e9"; // two bytes each: 6000 bytes, past the first read
    title += " end";
    TestApp app(testApp(), {"--title", title, "--size", "300x200", "--position", "40,300"});
    ASSERT_TRUE(app.ready());
    DesktopPorts ports = openDesktopPorts();
    auto list = listUntil(ports, WindowListKind::OnScreen,
                          [&](const auto& l) { return find(l, app.window()).has_value(); });
    ASSERT_TRUE(find(list, app.window()));
    EXPECT_EQ(find(list, app.window())->name, title);
}

TEST(DesktopAdapters, TitlesInCompoundTextReadAsUtf8) {
    REQUIRE_DESKTOP();
    TestX x;
    xcb_window_t popup = x.popup(30, 400, 120, 90);
    const std::string title = "caf\xe9 \x1b%G\xe2\x82\xac\x1b%@";
    xcb_change_property(x.get(), XCB_PROP_MODE_REPLACE, popup, XCB_ATOM_WM_NAME,
                        x.atom("COMPOUND_TEXT"), 8, static_cast<std::uint32_t>(title.size()),
                        title.data());
    xcb_flush(x.get());
    DesktopPorts ports = openDesktopPorts();
    auto list = listUntil(ports, WindowListKind::OnScreen, [&](const auto& l) {
        auto window = find(l, popup);
        return window && window->name;
    });
    ASSERT_TRUE(find(list, popup));
    EXPECT_EQ(find(list, popup)->name, "café €");
}

TEST(DesktopAdapters, ListsFrontToBackAndFollowsRaising) {
    REQUIRE_DESKTOP();
    TestApp back(testApp(), {"--title", "Back", "--size", "300x200", "--position", "50,50"});
    ASSERT_TRUE(back.ready());
    TestApp front(testApp(), {"--cover", "--size", "200x150", "--position", "80,80"});
    ASSERT_TRUE(front.ready());
    DesktopPorts ports = openDesktopPorts();
    auto both = [&](const auto& l) {
        return indexOf(l, back.window()) >= 0 && indexOf(l, front.window()) >= 0;
    };
    auto list = listUntil(ports, WindowListKind::OnScreen, both);
    EXPECT_LT(indexOf(list, front.window()), indexOf(list, back.window()));

    back.command("present");
    list = listUntil(ports, WindowListKind::OnScreen, [&](const auto& l) {
        return both(l) && indexOf(l, back.window()) < indexOf(l, front.window());
    });
    EXPECT_LT(indexOf(list, back.window()), indexOf(list, front.window()));
}

TEST(DesktopAdapters, UnmanagedPopupsAreOnScreenOnAnotherLayer) {
    REQUIRE_DESKTOP();
    TestX x;
    xcb_window_t popup = x.popup(10, 20, 120, 90);
    DesktopPorts ports = openDesktopPorts();
    auto list = ports.windowServer->windowList(WindowListKind::OnScreen)
                    .value_or(std::vector<WindowInfo>{});
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front().number, popup) << "an override-redirect window is above managed ones";
    EXPECT_NE(list.front().layer, 0);
    EXPECT_EQ(list.front().bounds, (host::platform::Rect{10, 20, 120, 90}));
}

TEST(DesktopAdapters, MinimisedWindowsAreNotOnScreen) {
    REQUIRE_DESKTOP();
    TestApp app(testApp(), {"--title", "Minimised", "--size", "300x200"});
    ASSERT_TRUE(app.ready());
    DesktopPorts ports = openDesktopPorts();
    listUntil(ports, WindowListKind::OnScreen,
              [&](const auto& l) { return indexOf(l, app.window()) >= 0; });
    ASSERT_EQ(std::system(("xdotool windowminimize " + std::to_string(app.window())).c_str()), 0);
    auto list = listUntil(ports, WindowListKind::OnScreen,
                          [&](const auto& l) { return indexOf(l, app.window()) < 0; });
    EXPECT_LT(indexOf(list, app.window()), 0);
    // The window manager unmaps the window just after it marks it hidden.
    bool captured = true;
    for (int i = 0; i < 100 && captured; ++i, usleep(20000))
        captured = capture(ports, app.window(), 100, 100).has_value();
    EXPECT_FALSE(captured);
}

TEST(DesktopAdapters, CapturesACoveredWindowWithoutTheWindowCoveringIt) {
    REQUIRE_DESKTOP();
    // Redirect first, as the host does at start-up: a redirection made after the windows
    // are shown briefly yields what covered them.
    DesktopPorts ports = openDesktopPorts();
    TestApp app(testApp(), {"--size", "400x300", "--position", "60,60"});
    ASSERT_TRUE(app.ready());
    TestApp cover(testApp(), {"--cover", "--size", "600x500", "--position", "0,0"});
    ASSERT_TRUE(cover.ready());
    auto list = listUntil(ports, WindowListKind::OnScreen, [&](const auto& l) {
        return indexOf(l, cover.window()) >= 0 &&
               indexOf(l, app.window()) > indexOf(l, cover.window());
    });
    auto window = find(list, app.window());
    ASSERT_TRUE(window && window->bounds);
    const auto frame = *window->bounds;
    TestX x;
    const auto client = x.clientArea(app.window());
    // The colour strip lies 8 pixels inside the client, 40 high, across the window.
    const int stripX = static_cast<int>(client.x - frame.x) + 200;
    const int stripY = static_cast<int>(client.y - frame.y) + 28;

    // Full size: the strip's colour, not the cover's green.
    const int width = static_cast<int>(frame.width), height = static_cast<int>(frame.height);
    // The application may still be painting its first frame: give it a moment.
    auto image = capture(ports, app.window(), width, height);
    for (int i = 0; i < 50 && image && !isMagenta(pixel(*image, stripX, stripY)); ++i) {
        usleep(20000);
        image = capture(ports, app.window(), width, height);
    }
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, width);
    EXPECT_EQ(image->height, height);
    ASSERT_EQ(image->bgrx.size(), image->stride * static_cast<std::size_t>(height));
    EXPECT_TRUE(isMagenta(pixel(*image, stripX, stripY)));

    // Half size: the same place, halved.
    auto half = capture(ports, app.window(), width / 2, height / 2);
    ASSERT_TRUE(half);
    EXPECT_EQ(half->width, width / 2);
    EXPECT_EQ(half->height, height / 2);
    EXPECT_TRUE(isMagenta(pixel(*half, stripX / 2, stripY / 2)));

    // The shareable content lists both windows with their owners.
    std::promise<std::optional<std::vector<host::platform::ShareableWindow>>> shared;
    ports.capture->shareableContent([&](auto windows) { shared.set_value(std::move(windows)); });
    auto windows = shared.get_future().get();
    ASSERT_TRUE(windows);
    bool listed = false;
    for (const auto& w : *windows)
        listed |= w.windowId == app.window() && w.owningPid == app.pid();
    EXPECT_TRUE(listed);
}

// Raw captures are held at most two at a time: a third waits until one of them is gone.
TEST(DesktopAdapters, CapturesWaitForHeldImagesToGo) {
    REQUIRE_DESKTOP();
    DesktopPorts ports = openDesktopPorts();
    TestApp app(testApp(), {"--size", "300x200", "--position", "700,500"});
    ASSERT_TRUE(app.ready());
    listUntil(ports, WindowListKind::OnScreen,
              [&](const auto& l) { return indexOf(l, app.window()) >= 0; });
    std::vector<std::promise<std::optional<CapturedImage>>> results(3);
    for (auto& result : results)
        ports.capture->captureWindow(app.window(), 150, 100,
                                     [&result](auto image) { result.set_value(std::move(image)); });
    auto first = results[0].get_future().get();
    auto second = results[1].get_future().get();
    ASSERT_TRUE(first && second);
    auto third = results[2].get_future();
    EXPECT_EQ(third.wait_for(300ms), std::future_status::timeout);
    first.reset(); // the main thread is done with it
    ASSERT_EQ(third.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(third.get());
}

TEST(DesktopAdapters, CaptureOfAWindowThatIsGoneGivesNothing) {
    REQUIRE_DESKTOP();
    DesktopPorts ports = openDesktopPorts();
    EXPECT_FALSE(capture(ports, 0x7ffffff0, 100, 100));
}

TEST(DesktopAdapters, TabGoesToTheTargetProcessOnly) {
    REQUIRE_DESKTOP();
    TestApp other(testApp(), {"--title", "Other"});
    ASSERT_TRUE(other.ready());
    TestApp app(testApp(), {"--title", "Target"});
    ASSERT_TRUE(app.ready());
    app.command("focus entry");
    ASSERT_TRUE(app.waitFor("focused entry"));
    other.command("focus entry");
    ASSERT_TRUE(other.waitFor("focused entry"));

    DesktopPorts ports = openDesktopPorts();
    EXPECT_EQ(ports.events->createKeyboardEvent(0xffff, true), nullptr) << "no such key";
    auto down = ports.events->createKeyboardEvent(48, true);
    auto up = ports.events->createKeyboardEvent(48, false);
    ASSERT_NE(down, nullptr);
    ASSERT_NE(up, nullptr);
    EXPECT_TRUE(ports.events->postToPid(app.pid(), *down));
    EXPECT_TRUE(ports.events->postToPid(app.pid(), *up));
    EXPECT_TRUE(app.waitFor("focus password"));
    // A process with no window takes no key.
    EXPECT_FALSE(ports.events->postToPid(static_cast<std::int32_t>(::getpid()), *down));

    // The other application saw nothing.
    other.command("report");
    auto line = other.process().waitFor(
        [](const std::string& l) { return l.rfind("values", 0) == 0 || l.rfind("focus", 0) == 0; },
        5s);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->rfind("values", 0), 0u) << *line;
}
