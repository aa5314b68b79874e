#pragma once
// A separable Lanczos3 downscaler that streams: rows go in one at a time (or a band of
// rows in pieces, as tiles come), and each output row comes out as soon as the input rows
// under its filter have arrived. It holds the output rows still being summed and, for the
// rows being scaled along their length, what horizontal_pass.h says: never the whole
// picture, nor a copy of a long source row. Pixels are four floats; alpha is multiplied
// in, so that edges against transparency stay clean.

#include "attachments/image/horizontal_pass.h"
#include "attachments/image/image_decoder.h"
#include "attachments/image/image_geometry.h"
#include "attachments/image/lanczos_window.h"
#include "attachments/image/vertical_pass.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace attachments {

class LanczosScaler {
public:
    using Emit = std::function<void(int y, const Pixel4* row)>;

    // The target spans `covered` of the source (all of it when zero), as RowFormat says;
    // delivered bytes are read as `layout` says.
    LanczosScaler(Size source, Size target, Emit emit, Extent covered = {},
                  PixelLayout layout = PixelLayout::Rgbx);

    // The next source row, `source.width` pixels, as floats or as delivered bytes.
    void push(const Pixel4* row);
    void push(const unsigned char* row);

    // Columns [x, x + width) of the next `rows` rows, `stride` bytes from one row to the
    // next: the pieces of a band come left to right and end at the row's end. Fails with
    // "Cannot prepare image" when they do not.
    void piece(int rows, int x, int width, const unsigned char* pixels, std::size_t stride);

    // True once every target row has been emitted.
    bool done() const { return vertical_.done(); }

private:
    HorizontalPass horizontal_;
    VerticalPass vertical_;
    std::vector<Pixel4> scaled_; // one row scaled along its length
    bool inBand_ = false;
    int bandRows_ = 0;
};

} // namespace attachments
