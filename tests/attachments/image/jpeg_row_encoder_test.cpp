// Encoding row by row gives the very bytes that the whole-picture writer gives, and a
// prepared image is encoded that way exactly when its rows finish top to bottom.
#include "attachments/failure.h"
#include "attachments/image/jpeg_row_encoder.h"
#include "attachments/image/prepared_picture.h"
#include "attachments/jpeg_writer.h"
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using namespace fixtures;
using attachments::JpegRowEncoder;
using attachments::PipelineOptions;

namespace {

std::vector<unsigned char> rgbBytes(int width, int height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<unsigned char>((i * 37 + i / 7) & 0xFF);
    return rgb;
}

TEST(JpegRowEncoder, SameBytesAsTheWholePictureWriter) {
    ScratchDir dir;
    for (const auto& [width, height] : {std::pair{1, 1}, {17, 9}, {33, 16}, {640, 481}}) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const auto rgb = rgbBytes(width, height);
        const std::size_t stride = static_cast<std::size_t>(width) * 3;
        attachments::writeImage({rgb.data(), width, height, stride}, dir / "whole.jpg");
        JpegRowEncoder encoder(width, height);
        for (int y = 0; y < height; ++y)
            encoder.row(rgb.data() + y * stride);
        const auto jpeg = encoder.finish();
        attachments::writeJpeg(jpeg, dir / "rows.jpg");
        EXPECT_TRUE(readBytes(dir / "whole.jpg") == readBytes(dir / "rows.jpg"));
    }
}

TEST(JpegRowEncoder, TooFewOrTooManyRowsFail) {
    const auto rgb = rgbBytes(8, 4);
    JpegRowEncoder shortOfRows(8, 4);
    shortOfRows.row(rgb.data());
    EXPECT_EQ(failureOf([&] { shortOfRows.finish(); }), "Cannot write image");
    JpegRowEncoder full(8, 2);
    full.row(rgb.data());
    full.row(rgb.data());
    EXPECT_EQ(failureOf([&] { full.row(rgb.data()); }), "Cannot write image");
    EXPECT_FALSE(full.finish().empty());
}

TEST(JpegRowEncoder, PreparedImagesAreEncodedAsTheyComeOnlyWhenRowsFinishInOrder) {
    ScratchDir dir;
    const Picture picture = makePicture(700, 420, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                    static_cast<std::uint8_t>(x ^ y), static_cast<std::uint8_t>(255 - y / 2)};
    });
    const PipelineOptions threaded{.minPixels = 0, .batchRows = 7};
    const PipelineOptions onCaller{.minPixels = std::numeric_limits<std::int64_t>::max()};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        writePng(dir / "in.png", picture, {.kind = PngKind::Rgba8, .orientation = orientation});
        for (const PipelineOptions& options : {threaded, onCaller}) {
            SCOPED_TRACE(testing::Message() << "orientation " << orientation);
            auto decoder = attachments::openImage(dir / "in.png");
            const auto prepared = attachments::prepareImage(*decoder, options);
            decoder = attachments::openImage(dir / "in.png");
            const auto whole = attachments::preparePicture(*decoder, options);
            attachments::writeImage(whole.view(), dir / "whole.jpg");
            if (orientation <= 2) {
                ASSERT_FALSE(prepared.jpeg.empty());
                EXPECT_TRUE(prepared.picture.pixels.empty()); // never held whole
                attachments::writeJpeg(prepared.jpeg, dir / "rows.jpg");
                EXPECT_TRUE(readBytes(dir / "whole.jpg") == readBytes(dir / "rows.jpg"));
            } else {
                EXPECT_TRUE(prepared.jpeg.empty());
                EXPECT_TRUE(prepared.picture.pixels == whole.pixels);
            }
        }
    }
}

} // namespace
