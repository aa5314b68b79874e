#pragma once
// Application icons: PNG in and out through libpng, scaling to a square, and the generic
// icon drawn in code for bundles without one of their own.

#include <optional>
#include <span>
#include <vector>

namespace host::bundles {

inline constexpr int kMaxIconSide = 1024;

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // 8-bit RGBA, straight alpha, rows top to bottom
};

// Nothing when the bytes are not a PNG, or one bigger than 4096 × 4096.
std::optional<Rgba> decodePng(std::span<const unsigned char> bytes);
std::optional<std::vector<unsigned char>> encodePng(const Rgba& image);

// The image scaled (area average) to fit a `side` × `side` square, aspect kept, centred on
// transparency.
Rgba fitSquare(const Rgba& image, int side);

// A plain application tile: a rounded square with a title bar.
Rgba genericIcon(int side);

} // namespace host::bundles
