#pragma once
// The picture that "prepare" writes: the decoder's rows scaled to fit 2000 pixels, turned
// upright, converted to sRGB and laid over opaque white, by the stages of row_stages.h.
// Rows are finished as they leave the scaler, so this picture is the only full bitmap the
// path holds.

#include "attachments/image/image_decoder.h"
#include "attachments/image/orient_stage.h"
#include "attachments/image/row_pipeline.h"

#include <vector>

namespace attachments {

// The finished image: its JPEG file's bytes when they could be encoded as the rows came
// out (the picture stands as stored or mirrored, so its rows finish top to bottom), or
// else the picture for the writer.
struct PreparedImage {
    std::vector<unsigned char> jpeg;
    RgbPicture picture;
};

// Decodes through `decoder` and returns the finished image; fails as preparePicture()
// does, and with "Cannot write image" when encoding fails.
PreparedImage prepareImage(ImageDecoder& decoder, const PipelineOptions& pipeline = {});

// Decodes through `decoder` and returns the finished picture, never encoded; fails with "Cannot
// prepare image" when the decoder delivers less than it promised. Decoding overlaps with the rest
// on a second thread as `pipeline` says.
RgbPicture preparePicture(ImageDecoder& decoder, const PipelineOptions& pipeline = {});

} // namespace attachments
