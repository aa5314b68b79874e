#pragma once
// A finished picture handed to the JPEG writer: opaque 8-bit sRGB, three bytes a pixel,
// rows `stride` bytes apart. A view: it owns nothing, so a decoder's or renderer's own
// buffer is written without a copy.

#include <cstddef>

namespace attachments {

struct RgbView {
    const unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
};

} // namespace attachments
