#pragma once
// Sizes, the 2000-pixel fit and the eight EXIF orientations.

namespace attachments {

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// The longest side a prepared image may have.
inline constexpr int kLongestSide = 2000;

// Largest source accepted, in pixels (width × height, counted in double).
inline constexpr double kMaxPixels = 40'000'000.0;

// True when both sides are at least 1 and the area is at most kMaxPixels.
bool acceptableSize(Size stored);

// `source` shrunk to fit kLongestSide on its longer side, keeping its aspect ratio; the
// shorter side is rounded to nearest and kept at least 1. Never enlarged.
Size fitWithin(Size source, int longest = kLongestSide);

// EXIF orientation 1..8 (anything else counts as 1): how the stored rows must be turned
// to stand upright. 5..8 swap width and height.
bool swapsAxes(int orientation);
Size orientedSize(Size stored, int orientation);

} // namespace attachments
