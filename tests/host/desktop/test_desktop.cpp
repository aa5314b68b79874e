#include "test_desktop.h"

#include "host/platform/linux/gnome/shell_windows.h"
#include "remote_pointer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace desktop_test {
namespace {

using host::platform::Point;
using host::platform::Rect;

// The compositor's windows of the application, polled until `enough` says so, since the
// compositor lists a window a moment after the application maps it; empty when it never does.
template <typename Enough>
std::vector<host::platform::gnome::ShellWindow> shellWindowsOf(const TestApp& app, Enough enough) {
    auto bus = host::platform::linux_desktop::dbus::connectSessionBus();
    for (int i = 0; i < 100; ++i, usleep(20000))
        if (const auto shell = host::platform::gnome::askShell(bus.get())) {
            std::vector<host::platform::gnome::ShellWindow> own;
            std::copy_if(shell->windows.begin(), shell->windows.end(), std::back_inserter(own),
                         [&](const auto& w) { return w.pid == app.pid(); });
            if (enough(own)) return own;
        }
    return {};
}

// Where the application's own coordinates start on the screen.
std::optional<Point> originOf(const TestApp& app) {
    if (currentDesktop() != Desktop::GnomeWayland) return Point{};
    const auto own = shellWindowsOf(app, [](const auto& windows) { return !windows.empty(); });
    if (own.empty()) return std::nullopt;
    return Point{own.front().buffer.x, own.front().buffer.y};
}

// The application's next word on whether it is active: its answer to "active", or a change
// it reported before that.
bool activeNow(TestApp& app) {
    app.command("active");
    return app.waitFor("active ") == "active yes";
}

bool becomesActive(TestApp& app) {
    for (int i = 0; i < 25; ++i, usleep(20000))
        if (activeNow(app)) return true;
    return false;
}

} // namespace

bool showsWindows(const TestApp& app, std::size_t count) {
    if (currentDesktop() != Desktop::GnomeWayland) return true;
    return !shellWindowsOf(app, [count](const auto& windows) {
                return windows.size() >= count;
            }).empty();
}

Desktop currentDesktop() {
    const char* desktop = std::getenv("TARNWICK_DESKTOP");
    if (desktop == nullptr) return Desktop::None;
    return std::strcmp(desktop, "gnome-wayland") == 0 ? Desktop::GnomeWayland : Desktop::X11;
}

std::optional<Rect> widgetOnScreen(TestApp& app, const std::string& widget) {
    app.command("geometry " + widget);
    const auto line = app.waitFor("geometry " + widget + " ");
    const auto origin = originOf(app);
    int x = 0, y = 0, w = 0, h = 0;
    if (!line || !origin ||
        std::sscanf(line->c_str(), "geometry %*s %d %d %d %d", &x, &y, &w, &h) != 4)
        return std::nullopt;
    return Rect{origin->x + x, origin->y + y, static_cast<double>(w), static_cast<double>(h)};
}

RemotePointer& pointer() {
    static RemotePointer hand; // one session for the test program: its first event is lost
    return hand;
}

bool clickWidget(TestApp& app, const std::string& widget) {
    const auto place = widgetOnScreen(app, widget);
    return place && pointer().clickAt(place->x + place->width / 2, place->y + place->height / 2);
}

bool clickUntilActive(TestApp& app, const std::string& widget) {
    // A click may land while the compositor is still settling a new window, or the window
    // closed before it: the window can be active for a moment and then not. As a user would,
    // click again until the window stays active.
    for (int click = 0; click < 5; ++click) {
        if (!clickWidget(app, widget)) return false;
        if (!becomesActive(app)) continue;
        usleep(250000);
        if (activeNow(app) && activeNow(app)) return true;
    }
    return false;
}

bool bringToFront(TestApp& app) {
    if (currentDesktop() == Desktop::GnomeWayland) return clickUntilActive(app, "inert");
    for (int i = 0; i < 100; ++i) {
        app.command("present");
        app.command("active");
        if (app.waitFor("active ") == "active yes") return true;
        usleep(20000);
    }
    return false;
}

} // namespace desktop_test
