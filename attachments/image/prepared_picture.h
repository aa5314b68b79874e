#pragma once
// The picture that "prepare" writes: the decoder's rows scaled to fit 2000 pixels, turned
// upright, converted to sRGB and laid over opaque white. Rows are finished as they leave
// the scaler, so this picture is the only full bitmap the path holds.

#include "attachments/image/image_decoder.h"
#include "attachments/image/row_pipeline.h"
#include "attachments/rgb_image.h"

#include <vector>

namespace attachments {

struct RgbPicture {
    Size size;
    std::vector<unsigned char> pixels; // size.height rows of size.width × 3 bytes

    RgbView view() const {
        return {pixels.data(), size.width, size.height, static_cast<std::size_t>(size.width) * 3};
    }
};

// Decodes through `decoder` and returns the finished picture; fails with "Cannot prepare
// image" when the decoder delivers less than it promised. Decoding overlaps with the
// rest on a second thread as `pipeline` says.
RgbPicture preparePicture(ImageDecoder& decoder, const PipelineOptions& pipeline = {});

} // namespace attachments
