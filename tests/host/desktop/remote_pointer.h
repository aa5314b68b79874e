#pragma once
// The user's hand on the virtual GNOME desktop: a RemoteDesktop session of the test's own
// that moves the pointer to a point of the screen and clicks there. Headless Mutter moves
// a virtual pointer one pixel for each unit of relative motion, so the pointer is first
// pushed into the top-left corner and then moved by the point's coordinates.

#include "host/platform/linux/glib/dbus.h"

#include <string>

namespace desktop_test {

class RemotePointer {
public:
    RemotePointer();
    ~RemotePointer();
    RemotePointer(const RemotePointer&) = delete;
    RemotePointer& operator=(const RemotePointer&) = delete;

    bool ready() const { return !session_.empty(); }
    // A left click at the global point (x, y).
    bool clickAt(double x, double y);

private:
    bool call(const char* method, GVariant* parameters);

    host::platform::linux_desktop::dbus::Connection bus_;
    std::string session_;
};

} // namespace desktop_test
