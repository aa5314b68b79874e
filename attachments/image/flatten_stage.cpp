#include "attachments/image/flatten_stage.h"

#include "attachments/image/pixel_floats.h"

#include <algorithm>

namespace attachments {
namespace {

unsigned char toByte(float v) {
    return static_cast<unsigned char>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

} // namespace

void FlattenStage::start(Size size, const RowFormat& format) {
    width_ = size.width;
    layout_ = format.layout;
    transform_ = SrgbTransform::create(format.iccProfile, format.model, format.layout);
    const auto width = static_cast<std::size_t>(size.width);
    straight_.resize(width * 4);
    converted_.resize(width * 3);
    out_.resize(width * 3);
    next_.start(size);
}

void FlattenStage::row(int y, const unsigned char* pixels) {
    if (layout_ == PixelLayout::Rgbx && !transform_) {
        // Opaque sRGB at the output size: its bytes are the output's.
        for (int x = 0; x < width_; ++x, pixels += 4)
            std::copy_n(pixels, 3, &out_[static_cast<std::size_t>(x) * 3]);
        next_.row(y, out_.data());
        return;
    }
    floats_.resize(static_cast<std::size_t>(width_));
    toPremultipliedFloats(pixels, layout_, floats_.data(), floats_.size());
    row(y, floats_.data());
}

void FlattenStage::row(int y, const Pixel4* pixels) {
    convert(pixels);
    next_.row(y, out_.data());
}

// One row to straight sRGB bytes over white.
void FlattenStage::convert(const Pixel4* row) {
    const bool alpha = hasAlpha(layout_);
    if (transform_ || isCmyk(layout_)) {
        for (int x = 0; x < width_; ++x) {
            const Pixel4 p = row[x];
            const float a = alpha ? std::clamp(p[3], 0.0f, 255.0f) : 255.0f;
            const float unmultiply = alpha ? (a > 0.0f ? 255.0f / a : 0.0f) : 1.0f;
            unsigned char* s = &straight_[static_cast<std::size_t>(x) * 4];
            for (int c = 0; c < 3; ++c)
                s[c] = toByte(p[c] * unmultiply);
            s[3] = alpha ? toByte(a) : toByte(p[3]);
        }
        if (transform_) {
            transform_->convert(straight_.data(), converted_.data(), width_);
        } else {
            cmykToRgb();
        }
        for (int x = 0; x < width_; ++x) {
            const unsigned char* c = &converted_[static_cast<std::size_t>(x) * 3];
            const float a = alpha ? straight_[static_cast<std::size_t>(x) * 4 + 3] : 255.0f;
            unsigned char* o = &out_[static_cast<std::size_t>(x) * 3];
            for (int k = 0; k < 3; ++k)
                o[k] = toByte((c[k] * a + 255.0f * (255.0f - a)) / 255.0f);
        }
        return;
    }
    for (int x = 0; x < width_; ++x) {
        const Pixel4 p = row[x];
        unsigned char* o = &out_[static_cast<std::size_t>(x) * 3];
        if (alpha) {
            // Premultiplied colour over white: c + (1 - alpha) × 255.
            const float a = std::clamp(p[3], 0.0f, 255.0f);
            for (int k = 0; k < 3; ++k)
                o[k] = toByte(std::clamp(p[k], 0.0f, a) + 255.0f - a);
        } else {
            for (int k = 0; k < 3; ++k)
                o[k] = toByte(p[k]);
        }
    }
}

// Without a profile, ink is taken at face value: each colour is what its ink and the
// black leave of white.
void FlattenStage::cmykToRgb() {
    const bool inverted = layout_ == PixelLayout::CmykInverted;
    for (int x = 0; x < width_; ++x) {
        const unsigned char* s = &straight_[static_cast<std::size_t>(x) * 4];
        const float k = inverted ? s[3] : 255.0f - s[3];
        for (int c = 0; c < 3; ++c) {
            const float ink = inverted ? s[c] : 255.0f - s[c];
            converted_[static_cast<std::size_t>(x) * 3 + c] = toByte(ink * k / 255.0f);
        }
    }
}

} // namespace attachments
