#pragma once
// Finished rows turned upright as the file's EXIF orientation says. Rows of a picture
// that stands as stored or mirrored (orientation 1 or 2) stay in order and can go straight
// on to an upright sink; every other orientation moves rows into columns or reverses
// their order, so those rows are placed into the picture.

#include "attachments/image/row_stages.h"
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

class OrientStage final : public RgbRowSink {
public:
    // Rows go on to `upright`, when given, if they stay in order; otherwise into the picture.
    OrientStage(int orientation, UprightRowSink* upright)
        : orientation_(orientation), upright_(upright) {}

    void start(Size size) override;
    void row(int y, const unsigned char* rgb) override;

    // The upright picture; empty when the rows went on to the upright sink.
    RgbPicture takePicture() { return std::move(picture_); }

private:
    int orientation_;
    UprightRowSink* upright_;
    bool streaming_ = false;
    Size stored_;
    std::vector<unsigned char> rowBuffer_; // one upright row, when streaming
    RgbPicture picture_;
};

} // namespace attachments
