// Exactly one image: animations are refused, single frames pass.
#include "image_test_support.h"

#include <gtest/gtest.h>

using namespace fixtures;

namespace {

std::vector<std::uint8_t> be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

std::vector<std::uint8_t> actl(std::uint32_t frames) {
    auto body = be32(frames);
    const auto plays = be32(0);
    body.insert(body.end(), plays.begin(), plays.end());
    return pngChunk("acTL", body);
}

std::vector<std::uint8_t> fctl(int width, int height) {
    std::vector<std::uint8_t> body = be32(0); // sequence number
    for (std::uint32_t v : {std::uint32_t(width), std::uint32_t(height), 0u, 0u}) {
        const auto b = be32(v);
        body.insert(body.end(), b.begin(), b.end());
    }
    body.insert(body.end(), {0, 1, 0, 10, 0, 0}); // delay 1/10, dispose none, blend source
    return pngChunk("fcTL", body);
}

std::vector<std::uint8_t> join(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Animation, ApngFrameCountDecides) {
    ScratchDir dir;
    const Picture picture = makePicture(20, 10, [](int x, int) {
        return Rgba{uint8_t(x * 10), 0, 0, 255};
    });
    const auto png = pngBytes(picture);
    // Two frames announced: animated, in an inspection too.
    writeBytes(dir / "two.png", insertBeforeIdat(png, join(actl(2), fctl(20, 10))));
    EXPECT_EQ(failureOf([&] { inspect(dir / "two.png"); }), kUnsupported);
    // One frame, and it is the default image: a still picture.
    writeBytes(dir / "one.png", insertBeforeIdat(png, join(actl(1), fctl(20, 10))));
    EXPECT_EQ(inspect(dir / "one.png")["width"], 20);
    EXPECT_EQ(prepare(dir / "one.png", dir.path()).width, 20);
    // One animation frame besides a default image that is not part of it: two images.
    writeBytes(dir / "hidden.png", insertBeforeIdat(png, actl(1)));
    EXPECT_EQ(failureOf([&] { inspect(dir / "hidden.png"); }), kUnsupported);
    // An animation of no frames is broken.
    writeBytes(dir / "zero.png", insertBeforeIdat(png, actl(0)));
    EXPECT_EQ(failureOf([&] { inspect(dir / "zero.png"); }), kUnsupported);
}

} // namespace

namespace {

TEST(Animation, MultiPictureJpegsListingTwoOrMoreImagesAreRefused) {
    ScratchDir dir;
    const Picture left = makePicture(24, 16, [](int, int) { return kRed; });
    const Picture right = makePicture(24, 16, [](int, int) { return kGreen; });
    // A stereo pair as cameras write it: refused, in an inspection too.
    writeMpo(dir / "pair.mpo", {left, right});
    EXPECT_EQ(failureOf([&] { inspect(dir / "pair.mpo"); }), kUnsupported);
    const auto cut = [](std::vector<std::uint8_t> bytes, std::size_t size) {
        bytes.resize(size);
        return bytes;
    };
    const struct {
        const char* name;
        std::vector<std::uint8_t> app2;
        bool refused;
    } cases[] = {
        {"one.jpg", mpfSegment(1), false},
        {"three-le.jpg", mpfSegment(3, false), true},
        {"entries-only.jpg", mpfSegment(2, true, false), true},
        {"entry-only.jpg", mpfSegment(1, true, false), false},
        // An index that cannot be read leaves the primary image standing.
        {"cut-index.jpg", cut(mpfSegment(2), 14), false},
        {"not-mpf.jpg", {'X', 'M', 'P', 0, 1, 2}, false},
    };
    for (const auto& c : cases) {
        writeJpeg(dir / c.name, left, {.app2 = c.app2});
        const auto failure = failureOf([&] { prepare(dir / c.name, dir.path()); });
        EXPECT_EQ(failure, c.refused ? std::optional<std::string>(kUnsupported) : std::nullopt)
            << c.name;
    }
}

} // namespace
