#include "test_desktop.h"

#include "host/platform/linux/gnome/shell_windows.h"
#include "remote_pointer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace desktop_test {
namespace {

using host::platform::Point;
using host::platform::Rect;

// Where the application's own coordinates start on the screen; polled, since the
// compositor lists a new window a moment after the application maps it.
std::optional<Point> originOf(const TestApp& app) {
    if (currentDesktop() != Desktop::GnomeWayland) return Point{};
    auto bus = host::platform::linux_desktop::dbus::connectSessionBus();
    for (int i = 0; i < 100; ++i, usleep(20000))
        if (const auto shell = host::platform::gnome::askShell(bus.get()))
            for (const auto& w : shell->windows)
                if (w.pid == app.pid()) return Point{w.buffer.x, w.buffer.y};
    return std::nullopt;
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
    auto bus = host::platform::linux_desktop::dbus::connectSessionBus();
    for (int i = 0; i < 100; ++i, usleep(20000))
        if (const auto shell = host::platform::gnome::askShell(bus.get()))
            if (std::count_if(shell->windows.begin(), shell->windows.end(), [&](const auto& w) {
                    return w.pid == app.pid();
                }) >= static_cast<std::ptrdiff_t>(count))
                return true;
    return false;
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
