#pragma once
// The pixel size a window is captured at: never more than one pixel per point, never more
// than 1280 pixels on the longer side, never less than one pixel on either side.

namespace host {

struct PixelSize {
    int width = 1;
    int height = 1;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

inline constexpr double kLongestCaptureSide = 1280.0;

// From the window's width and height in points (non-negative).
PixelSize captureSize(double width, double height);

} // namespace host
