#pragma once
// Hands a picture that a decoder had to make whole (interlaced PNG, HEIF) to a sink row by
// row. An opaque picture is kept three bytes a pixel, a quarter less than the four that
// sinks take: each row is widened on its way.

#include "attachments/image/image_decoder.h"

#include <cstddef>
#include <vector>

namespace attachments {

// Starts `sink` with `format` and delivers format.size.height rows from `pixels`, each
// `stride` bytes after the last and `bytesPerPixel` (3 or 4) bytes a pixel.
inline void deliverWholePicture(const unsigned char* pixels, std::size_t stride, int bytesPerPixel,
                                const RowFormat& format, RowSink& sink) {
    sink.start(format);
    const auto width = static_cast<std::size_t>(format.size.width);
    std::vector<unsigned char> wide(bytesPerPixel == 3 ? width * 4 : 0, 255);
    for (int y = 0; y < format.size.height; ++y) {
        const unsigned char* row = pixels + stride * static_cast<std::size_t>(y);
        if (bytesPerPixel == 4) {
            sink.row(row);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                wide[x * 4 + c] = row[x * 3 + c];
        sink.row(wide.data());
    }
}

} // namespace attachments
