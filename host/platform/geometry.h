#pragma once
// Geometry in the window server's global screen space: points, origin at the top-left
// corner of the main display, y growing downwards.

namespace host::platform {

struct Point {
    double x = 0;
    double y = 0;
};

struct Size {
    double width = 0;
    double height = 0;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace host::platform
