// The prepared picture is the same whether decoding overlaps with the rest on a second
// thread or not, and a decoder failing mid-picture is still a failure.
#include "attachments/image/prepared_picture.h"
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

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
