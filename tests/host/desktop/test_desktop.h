#pragma once
// The virtual desktop a test runs on (tools/desktop/run.sh), as a user of it sees it: which
// one it is, where a widget of the test application is on the screen, and a hand that
// brings an application's window to the front.
//
// On X11 the test application knows where it is on the screen and asks the window manager
// for the front. On GNOME Wayland a client knows only its own surface: the compositor says
// where that is, and a window comes to the front when the user clicks it.

#include "host/platform/geometry.h"
#include "test_app.h"

#include <cstddef>
#include <optional>
#include <string>

namespace desktop_test {

enum class Desktop { None, X11, GnomeWayland };
// From TARNWICK_DESKTOP, which the harness sets.
Desktop currentDesktop();

// A widget of the test application (its name as the application knows it), in screen
// coordinates.
std::optional<host::platform::Rect> widgetOnScreen(TestApp& app, const std::string& widget);

// Waits until the compositor shows at least `count` windows of the application (a popup it
// opened, say); on X11 the application's word that it showed them is enough.
bool showsWindows(const TestApp& app, std::size_t count);

// Brings the application's window to the front and waits until the application says it is
// active; false when it never is.
bool bringToFront(TestApp& app);

// On GNOME: clicks the middle of a widget once; false when it cannot.
bool clickWidget(TestApp& app, const std::string& widget);

// On GNOME: clicks the middle of a widget, as a user's first click on a window does, until
// the window is active. The click reaches the widget.
bool clickUntilActive(TestApp& app, const std::string& widget);

} // namespace desktop_test
