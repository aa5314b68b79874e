#pragma once
// Scaled rows made opaque 8-bit sRGB: converted from an embedded profile (or, for CMYK
// without one, from ink at face value) and laid over white.

#include "attachments/image/row_stages.h"
#include "attachments/image/srgb_transform.h"

#include <memory>
#include <vector>

namespace attachments {

class FlattenStage final : public ScaledRowSink {
public:
    explicit FlattenStage(RgbRowSink& next) : next_(next) {}

    void start(Size size, const RowFormat& format) override;
    void row(int y, const Pixel4* pixels) override;
    void row(int y, const unsigned char* pixels) override;

private:
    void convert(const Pixel4* pixels);
    void cmykToRgb();

    RgbRowSink& next_;
    int width_ = 0;
    PixelLayout layout_ = PixelLayout::Rgbx;
    std::unique_ptr<SrgbTransform> transform_;
    std::vector<Pixel4> floats_;           // an unscaled row that needs converting
    std::vector<unsigned char> straight_;  // a row of four bytes a pixel, alpha undone
    std::vector<unsigned char> converted_; // that row in sRGB, three bytes a pixel
    std::vector<unsigned char> out_;       // the finished row
};

} // namespace attachments
