// The prepared picture is the same whether decoding overlaps with the rest on a second
// thread or not, and a decoder failing mid-picture is still a failure.
#include "attachments/image/prepared_picture.h"
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>

using namespace fixtures;
using attachments::PipelineOptions;

namespace {

constexpr PipelineOptions kInline{.minPixels = std::numeric_limits<std::int64_t>::max()};
constexpr PipelineOptions kThreaded{.minPixels = 0, .batchRows = 5, .batches = 2};

attachments::RgbPicture prepared(const std::filesystem::path& input,
                                 const PipelineOptions& options) {
    const auto decoder = attachments::openImage(input.string());
    return attachments::preparePicture(*decoder, options);
}

// Smooth colour and alpha with some detail, so scaling and flattening both matter.
Picture busyPicture(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 7 % 256), static_cast<std::uint8_t>(y * 3 % 256),
                    static_cast<std::uint8_t>((x ^ y) & 0xFF),
                    static_cast<std::uint8_t>(255 - (x + y) % 200)};
    });
}

TEST(PipelinedPicture, SameBytesWithAndWithoutTheSecondThread) {
    ScratchDir dir;
    const Picture picture = busyPicture(2300, 700);
    writePng(dir / "alpha.png", picture, {.kind = PngKind::Rgba8, .orientation = 6});
    writeJpeg(dir / "profiled.jpg", picture, {.icc = linearRgbProfile()});
    writePng(dir / "small.png", busyPicture(300, 211), {.kind = PngKind::Grey8});
    writeAdobeCmykJpeg(dir / "cmyk.jpg", 640, 480, {30, 60, 90, 20});
    for (const char* name : {"alpha.png", "profiled.jpg", "small.png", "cmyk.jpg"}) {
        SCOPED_TRACE(name);
        const auto alone = prepared(dir / name, kInline);
        const auto overlapped = prepared(dir / name, kThreaded);
        const auto chosen = prepared(dir / name, {});
        EXPECT_EQ(alone.size, overlapped.size);
        EXPECT_TRUE(alone.pixels == overlapped.pixels);
        EXPECT_TRUE(alone.pixels == chosen.pixels);
    }
}

// Where stored pixel (x, y) of a `w` × `h` picture stands once turned upright.
std::pair<int, int> upright(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {h - 1 - y, x};
    case 7:
        return {h - 1 - y, w - 1 - x};
    case 8:
        return {y, w - 1 - x};
    default:
        return {x, y};
    }
}

TEST(PipelinedPicture, UnscaledOpaquePixelsAreKeptExactlyInEveryOrientation) {
    // Lossless and small enough to keep its size: every output pixel is a source pixel,
    // whether the rows are copied as bytes (RGB) or finished in floats (RGBA, opaque).
    ScratchDir dir;
    const int w = 37;
    const int h = 23;
    const Picture picture = makePicture(w, h, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 11),
                    static_cast<std::uint8_t>(x * y), 255};
    });
    for (const PngKind kind : {PngKind::Rgb8, PngKind::Rgba8}) {
        for (int orientation = 1; orientation <= 8; ++orientation) {
            SCOPED_TRACE(testing::Message()
                         << "orientation " << orientation << " kind " << static_cast<int>(kind));
            writePng(dir / "exact.png", picture, {.kind = kind, .orientation = orientation});
            for (const PipelineOptions& options : {kInline, kThreaded}) {
                const auto out = prepared(dir / "exact.png", options);
                const int upWidth = orientation >= 5 ? h : w;
                ASSERT_EQ(out.size.width, upWidth);
                ASSERT_EQ(out.size.height, orientation >= 5 ? w : h);
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        const auto [ux, uy] = upright(orientation, x, y, w, h);
                        const unsigned char* o =
                            &out.pixels[(static_cast<std::size_t>(uy) * upWidth + ux) * 3];
                        const Rgba s = picture.at(x, y);
                        ASSERT_TRUE(o[0] == s.r && o[1] == s.g && o[2] == s.b)
                            << "stored pixel " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(PipelinedPicture, DecoderFailingMidPictureIsAFailure) {
    ScratchDir dir;
    writeJpeg(dir / "whole.jpg", busyPicture(900, 600), {.quality = 90});
    auto bytes = readBytes(dir / "whole.jpg");
    bytes.resize(bytes.size() / 2);
    writeBytes(dir / "cut.jpg", bytes);
    for (const PipelineOptions& options : {kInline, kThreaded}) {
        const auto failure = failureOf([&] { prepared(dir / "cut.jpg", options); });
        EXPECT_EQ(failure, kCannotPrepare);
    }
}

} // namespace
