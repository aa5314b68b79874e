#pragma once
// Resampling of B, G, R, X pixels to another size: the area average of the source pixels
// under each target pixel when shrinking (no aliasing), bilinear when enlarging.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace host::platform::x11 {

struct PixelView {
    const unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
};

// Returns width × height pixels, rows of width × 4 bytes, X bytes 255.
std::vector<unsigned char> resample(PixelView source, int width, int height);

} // namespace host::platform::x11
