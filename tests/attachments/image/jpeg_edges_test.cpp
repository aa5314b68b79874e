// A JPEG decoded at a reduced DCT scale whose size is fractional is resampled from the
// region the picture really covers, so that it matches a resize of the full decode.
#include "attachments/image/lanczos_scaler.h"
#include "attachments/image/prepared_picture.h"
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace fixtures;

namespace {

// Grey strokes with edges a couple of pixels soft, as a scanned page has them.
Picture scanLike(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        const double v = 128 + 127 * std::tanh(3 * std::sin(x / 7.3) * std::sin(y / 5.1));
        const auto g = static_cast<std::uint8_t>(std::lround(v));
        return Rgba{g, g, g, 255};
    });
}

// The reference: the full decode resized with Lanczos3 straight to `target`.
std::vector<std::uint8_t> fullResize(const Decoded& full, attachments::Size target) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(target.width) * target.height);
    attachments::LanczosScaler scaler(
        {full.width, full.height}, target, [&](int y, const attachments::Pixel4* row) {
            for (int x = 0; x < target.width; ++x)
                out[static_cast<std::size_t>(y) * target.width + x] =
                    static_cast<std::uint8_t>(std::clamp(row[x][0], 0.0f, 255.0f) + 0.5f);
        });
    std::vector<attachments::Pixel4> row(static_cast<std::size_t>(full.width));
    for (int y = 0; y < full.height; ++y) {
        for (int x = 0; x < full.width; ++x) {
            const float v = full.at(x, y).r;
            row[x] = attachments::Pixel4{v, v, v, 255};
        }
        scaler.push(row.data());
    }
    return out;
}

double psnr(const std::vector<std::uint8_t>& reference, const attachments::RgbPicture& picture) {
    double sum = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const double d = double(picture.pixels[i * 3]) - reference[i];
        sum += d * d;
    }
    return 10 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(reference.size())));
}

// Black and white squares of `side` pixels, in a pattern without repeats.
Picture hardBlocks(int width, int height, int side) {
    return makePicture(width, height, [side](int x, int y) {
        const unsigned h = (unsigned(x / side) * 2654435761u) ^ (unsigned(y / side) * 40503u);
        const std::uint8_t g = ((h >> 7) & 1) ? 255 : 0;
        return Rgba{g, g, g, 255};
    });
}

// 5600 x 2240 fits 2000 x 800 at 2.8 times smaller: 3/8 would be the smallest scale that
// covers it, and its cut of the DCT aliases hard edges (26 dB on 10-pixel blocks, 30 dB on
// 25-pixel ones); decoded at 4/8 and resized from there, both keep 37 dB.
TEST(JpegEdges, HardEdgesAreNotDecodedAtAnOddScale) {
    ScratchDir dir;
    for (int side : {10, 25}) {
        SCOPED_TRACE(testing::Message() << side << "-pixel blocks");
        writeJpeg(dir / "blocks.jpg", hardBlocks(5600, 2240, side), {.quality = 90, .grey = true});
        const auto decoder = attachments::openImage(dir / "blocks.jpg");
        const attachments::RgbPicture prepared = attachments::preparePicture(*decoder);
        ASSERT_EQ(prepared.size, (attachments::Size{2000, 800}));
        const auto reference = fullResize(readJpeg(dir / "blocks.jpg"), prepared.size);
        EXPECT_GE(psnr(reference, prepared), 36.0);
    }
}

TEST(JpegEdges, AFractionalDctScaleIsResampledFromTheRegionThePictureCovers) {
    ScratchDir dir;
    // 4003 x 1601 is decoded at 4/8: 2001.5 x 800.5 pixels of picture, in rows rounded up
    // to 2002 x 801. Fitted into 2000 x 800, the right and bottom edges would land half a
    // pixel off if the rounded-up rows were taken for the whole picture.
    writeJpeg(dir / "scan.jpg", scanLike(4003, 1601), {.quality = 95, .grey = true});
    const auto decoder = attachments::openImage(dir / "scan.jpg");
    const attachments::RgbPicture prepared = attachments::preparePicture(*decoder);
    ASSERT_EQ(prepared.size, (attachments::Size{2000, 800}));
    const auto reference = fullResize(readJpeg(dir / "scan.jpg"), prepared.size);
    EXPECT_GE(psnr(reference, prepared), 40.0);
}

} // namespace
