#pragma once
// What the stages after the decoder hand each other. A prepared picture is made by
//   ScaleStage   decoder rows to the output size
//   FlattenStage to opaque sRGB bytes laid over white
//   OrientStage  turned upright: streamed on when rows stay in order, else a picture
//   EncodeStage  the upright rows encoded as a JPEG as they come
// each a small sink of the rows that the one before gives it.

#include "attachments/image/image_decoder.h"
#include "attachments/image/lanczos_scaler.h"

namespace attachments {

// Rows at the output size in stored order (before orientation), top to bottom.
class ScaledRowSink {
public:
    virtual ~ScaledRowSink() = default;
    // Once, before any row: the output size and the decoder's format (layout, colour).
    virtual void start(Size size, const RowFormat& format) = 0;
    // Row `y` resampled: floats as pixel_floats.h makes them.
    virtual void row(int y, const Pixel4* pixels) = 0;
    // Row `y` as the decoder delivered it, when it came at the output size already.
    virtual void row(int y, const unsigned char* pixels) = 0;
};

// Finished rows: opaque sRGB, three bytes a pixel, in stored order, top to bottom.
class RgbRowSink {
public:
    virtual ~RgbRowSink() = default;
    virtual void start(Size size) = 0;
    virtual void row(int y, const unsigned char* rgb) = 0;
};

// Rows of the upright picture, top to bottom.
class UprightRowSink {
public:
    virtual ~UprightRowSink() = default;
    virtual void start(Size size) = 0;
    virtual void row(const unsigned char* rgb) = 0;
};

} // namespace attachments
