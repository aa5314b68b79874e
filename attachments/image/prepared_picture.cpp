#include "attachments/image/prepared_picture.h"

#include "attachments/image/image_failures.h"
#include "attachments/image/jpeg_row_encoder.h"
#include "attachments/image/lanczos_scaler.h"
#include "attachments/image/srgb_transform.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace attachments {
namespace {

unsigned char toByte(float v) {
    return static_cast<unsigned char>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

// One delivered pixel's four bytes as four floats.
Pixel4 toFloats(const unsigned char* pixel) {
#if defined(__SSE2__)
    // Widened and converted in one register: compilers do not find this for SSE2 alone.
    std::int32_t word;
    std::memcpy(&word, pixel, sizeof word);
    const __m128i zero = _mm_setzero_si128();
    const __m128i wide = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero);
    return std::bit_cast<Pixel4>(_mm_cvtepi32_ps(wide));
#else
    return Pixel4{float(pixel[0]), float(pixel[1]), float(pixel[2]), float(pixel[3])};
#endif
}

bool hasAlpha(PixelLayout layout) {
    return layout == PixelLayout::Rgba || layout == PixelLayout::RgbaPremultiplied;
}

bool isCmyk(PixelLayout layout) {
    return layout == PixelLayout::Cmyk || layout == PixelLayout::CmykInverted;
}

// Where a stored pixel lands in the upright picture: the first pixel of stored row `y`,
// and the step (in pixels) from one stored column to the next.
struct Placement {
    std::ptrdiff_t start;
    std::ptrdiff_t step;
};

Placement place(int orientation, Size stored, int y) {
    const std::ptrdiff_t w = stored.width;
    const std::ptrdiff_t h = stored.height;
    const std::ptrdiff_t upWidth = swapsAxes(orientation) ? h : w;
    auto at = [&](std::ptrdiff_t x, std::ptrdiff_t row) { return row * upWidth + x; };
    switch (orientation) {
    case 2:
        return {at(w - 1, y), -1};
    case 3:
        return {at(w - 1, h - 1 - y), -1};
    case 4:
        return {at(0, h - 1 - y), 1};
    case 5:
        return {at(y, 0), upWidth};
    case 6:
        return {at(h - 1 - y, 0), upWidth};
    case 7:
        return {at(h - 1 - y, w - 1), -upWidth};
    case 8:
        return {at(y, w - 1), -upWidth};
    default:
        return {at(0, y), 1};
    }
}

class PictureBuilder final : public RowSink {
public:
    // With `encodeRows`, a picture whose rows finish top to bottom (it stands as stored
    // or mirrored) is encoded row by row instead of being kept whole.
    PictureBuilder(int orientation, bool encodeRows)
        : orientation_(orientation), encodeRows_(encodeRows) {}

    void start(const RowFormat& format) override {
        if (started_ || !acceptableSize(format.full) || format.size.width < 1 ||
            format.size.height < 1 || format.size.width > format.full.width ||
            format.size.height > format.full.height)
            failCannotPrepare();
        format_ = format;
        target_ = fitWithin(format.full);
        const Size upright = orientedSize(target_, orientation_);
        picture_.size = upright;
        transform_ = SrgbTransform::create(format.iccProfile, format.model, format.layout);
        source_.resize(format.size.width);
        straight_.resize(static_cast<std::size_t>(target_.width) * 4);
        converted_.resize(static_cast<std::size_t>(target_.width) * 3);
        if (encodeRows_ && (orientation_ < 3 || orientation_ > 8)) {
            encoder_ = std::make_unique<JpegRowEncoder>(upright.width, upright.height);
            rowBuffer_.resize(static_cast<std::size_t>(upright.width) * 3);
        }
        // Rows delivered at the output size skip the scaler: its one tap of weight 1
        // would give them back unchanged.
        unscaled_ = format.size == target_;
        if (!unscaled_)
            scaler_.emplace(format.size, target_,
                            [this](int y, const Pixel4* row) { finishRow(y, row); });
        started_ = true;
    }

    void row(const unsigned char* pixels) override {
        if (!started_) failCannotPrepare();
        if (unscaled_) {
            if (finishedRows_ == target_.height) return;
            if (format_.layout == PixelLayout::Rgbx && !transform_) {
                placeOpaqueRow(finishedRows_++, pixels);
                return;
            }
        }
        if (format_.layout == PixelLayout::Rgba) {
            for (std::size_t x = 0; x < source_.size(); ++x, pixels += 4) {
                const Pixel4 p = toFloats(pixels);
                const float a = p[3] * (1.0f / 255.0f);
                source_[x] = p * Pixel4{a, a, a, 1.0f};
            }
        } else {
            for (std::size_t x = 0; x < source_.size(); ++x, pixels += 4)
                source_[x] = toFloats(pixels);
        }
        if (unscaled_) {
            finishRow(finishedRows_++, source_.data());
        } else {
            scaler_->push(source_.data());
        }
    }

    PreparedImage finish() {
        const bool done = unscaled_ ? finishedRows_ == target_.height : scaler_ && scaler_->done();
        if (!started_ || !done) failCannotPrepare();
        PreparedImage prepared;
        if (encoder_) prepared.jpeg = encoder_->finish();
        prepared.picture = std::move(picture_);
        return prepared;
    }

private:
    // Where the pixels of row `y` go, `at` made relative to it: the one-row buffer when
    // rows are encoded as they come, otherwise the picture. The picture is made with the
    // first row, so that its pages are first touched on the thread that fills them.
    unsigned char* output(int y, Placement& at) {
        if (encoder_) {
            at.start -= static_cast<std::ptrdiff_t>(y) * picture_.size.width;
            return rowBuffer_.data();
        }
        if (picture_.pixels.empty())
            picture_.pixels.resize(static_cast<std::size_t>(picture_.size.width) *
                                   picture_.size.height * 3);
        return picture_.pixels.data();
    }

    // An opaque sRGB row at the output size: its bytes are the output's.
    void placeOpaqueRow(int y, const unsigned char* pixels) {
        Placement at = place(orientation_, target_, y);
        unsigned char* out = output(y, at);
        for (int x = 0; x < target_.width; ++x, pixels += 4) {
            unsigned char* o = out + (at.start + at.step * x) * 3;
            o[0] = pixels[0];
            o[1] = pixels[1];
            o[2] = pixels[2];
        }
        encodeRow();
    }

    void encodeRow() {
        if (encoder_) encoder_->row(rowBuffer_.data());
    }

    void finishRow(int y, const Pixel4* row) {
        finishPixels(y, row);
        encodeRow();
    }

    // One scaled row: to straight sRGB bytes over white, written where it stands upright.
    void finishPixels(int y, const Pixel4* row) {
        Placement at = place(orientation_, target_, y);
        unsigned char* out = output(y, at);
        const bool alpha = hasAlpha(format_.layout);
        if (transform_ || isCmyk(format_.layout)) {
            for (int x = 0; x < target_.width; ++x) {
                const Pixel4 p = row[x];
                const float a = alpha ? std::clamp(p[3], 0.0f, 255.0f) : 255.0f;
                const float unmultiply = alpha ? (a > 0.0f ? 255.0f / a : 0.0f) : 1.0f;
                unsigned char* s = &straight_[static_cast<std::size_t>(x) * 4];
                for (int c = 0; c < 3; ++c)
                    s[c] = toByte(p[c] * unmultiply);
                s[3] = alpha ? toByte(a) : toByte(p[3]);
            }
            if (transform_) {
                transform_->convert(straight_.data(), converted_.data(), target_.width);
            } else {
                cmykToRgb();
            }
            for (int x = 0; x < target_.width; ++x) {
                const unsigned char* c = &converted_[static_cast<std::size_t>(x) * 3];
                const float a = alpha ? straight_[static_cast<std::size_t>(x) * 4 + 3] : 255.0f;
                unsigned char* o = out + (at.start + at.step * x) * 3;
                for (int k = 0; k < 3; ++k)
                    o[k] = toByte((c[k] * a + 255.0f * (255.0f - a)) / 255.0f);
            }
            return;
        }
        for (int x = 0; x < target_.width; ++x) {
            const Pixel4 p = row[x];
            unsigned char* o = out + (at.start + at.step * x) * 3;
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
    void cmykToRgb() {
        const bool inverted = format_.layout == PixelLayout::CmykInverted;
        for (int x = 0; x < target_.width; ++x) {
            const unsigned char* s = &straight_[static_cast<std::size_t>(x) * 4];
            const float k = inverted ? s[3] : 255.0f - s[3];
            for (int c = 0; c < 3; ++c) {
                const float ink = inverted ? s[c] : 255.0f - s[c];
                converted_[static_cast<std::size_t>(x) * 3 + c] = toByte(ink * k / 255.0f);
            }
        }
    }

    Size target_;
    int orientation_;
    RowFormat format_;
    std::unique_ptr<SrgbTransform> transform_;
    std::vector<Pixel4> source_;
    std::vector<unsigned char> straight_;
    std::vector<unsigned char> converted_;
    std::optional<LanczosScaler> scaler_;
    bool encodeRows_;
    std::unique_ptr<JpegRowEncoder> encoder_;
    std::vector<unsigned char> rowBuffer_; // one upright row, when rows are encoded
    bool started_ = false;
    bool unscaled_ = false;
    int finishedRows_ = 0; // rows finished without the scaler
    RgbPicture picture_;
};

PreparedImage prepare(ImageDecoder& decoder, bool encodeRows, const PipelineOptions& pipeline) {
    PictureBuilder builder(decoder.orientation(), encodeRows);
    {
        // The decoder runs here; scaling and finishing run on the pipeline's worker.
        RowPipeline rows(builder, pipeline);
        decoder.decode(rows);
        rows.finish();
    }
    return builder.finish();
}

} // namespace

PreparedImage prepareImage(ImageDecoder& decoder, const PipelineOptions& pipeline) {
    return prepare(decoder, true, pipeline);
}

RgbPicture preparePicture(ImageDecoder& decoder, const PipelineOptions& pipeline) {
    return prepare(decoder, false, pipeline).picture;
}

} // namespace attachments
