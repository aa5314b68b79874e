// What the prepared JPEG looks like: size, orientation, white backing, colour.
#include "image_test_support.h"

#include <gtest/gtest.h>

using namespace fixtures;

namespace {

class Picture_ : public ::testing::Test {
protected:
    ScratchDir dir;
};

struct OrientationCase {
    int orientation;
    Corner red;
    Corner green;
};

TEST_F(Picture_, EveryOrientationIsTurnedUpright) {
    const OrientationCase cases[] = {
        {1, TopLeft, TopRight},       {2, TopRight, TopLeft},   {3, BottomRight, BottomLeft},
        {4, BottomLeft, BottomRight}, {5, TopLeft, BottomLeft}, {6, TopRight, BottomRight},
        {7, BottomRight, TopRight},   {8, BottomLeft, TopLeft},
    };
    for (const auto& c : cases) {
        for (const bool png : {false, true}) {
            const auto input = dir / (png ? "o.png" : "o.jpg");
            if (png)
                writePng(input, markedPicture(), {.orientation = c.orientation});
            else
                writeJpeg(input, markedPicture(), {.orientation = c.orientation});
            SCOPED_TRACE(testing::Message()
                         << "orientation " << c.orientation << (png ? " png" : " jpeg"));
            // The report keeps the stored size.
            EXPECT_EQ(inspect(input)["width"], 60);
            const Decoded out = prepare(input, dir.path());
            const bool swapped = c.orientation >= 5;
            EXPECT_EQ(out.width, swapped ? 40 : 60);
            EXPECT_EQ(out.height, swapped ? 60 : 40);
            EXPECT_TRUE(near(corner(out, c.red), kRed));
            EXPECT_TRUE(near(corner(out, c.green), kGreen));
        }
    }
}

TEST_F(Picture_, LargeSourcesShrinkToTwoThousandAndSmallOnesKeepTheirSize) {
    const auto stripes = [](int x, int) { return (x / 100) % 2 ? kRed : kGreen; };
    writeJpeg(dir / "wide.jpg", makePicture(4000, 1000, stripes), {.quality = 80});
    writePng(dir / "tall.png", makePicture(300, 4100, stripes));
    writeJpeg(dir / "small.jpg", makePicture(800, 600, stripes));
    const Decoded wide = prepare(dir / "wide.jpg", dir.path());
    EXPECT_EQ(wide.width, 2000);
    EXPECT_EQ(wide.height, 500);
    // Stripes of 100 source pixels are 50 pixels wide now.
    EXPECT_TRUE(near(wide.at(25, 250), kGreen));
    EXPECT_TRUE(near(wide.at(75, 250), kRed));
    const Decoded tall = prepare(dir / "tall.png", dir.path());
    EXPECT_EQ(tall.width, 146); // 300 × 2000 / 4100 = 146.3
    EXPECT_EQ(tall.height, 2000);
    const Decoded small = prepare(dir / "small.jpg", dir.path());
    EXPECT_EQ(small.width, 800);
    EXPECT_EQ(small.height, 600);
}

TEST_F(Picture_, TransparencyIsLaidOverWhite) {
    // Left: fully transparent black; right: half-transparent black; a gradient of alpha
    // in a band at the bottom.
    const Picture picture = makePicture(64, 64, [](int x, int y) {
        if (y >= 48) return Rgba{0, 0, 0, static_cast<std::uint8_t>(x * 4)};
        return Rgba{0, 0, 0, static_cast<std::uint8_t>(x < 32 ? 0 : 128)};
    });
    for (const PngKind kind : {PngKind::Rgba8, PngKind::Palette}) {
        writePng(dir / "alpha.png", picture, {.kind = kind});
        const Decoded out = prepare(dir / "alpha.png", dir.path());
        EXPECT_TRUE(near(out.at(8, 20), kWhite, 3));
        EXPECT_TRUE(near(out.at(48, 20), kGrey, 4)) << int(out.at(48, 20).r);
        EXPECT_LT(out.at(60, 56).r, out.at(4, 56).r);
    }
}

TEST_F(Picture_, EmbeddedProfilesAreConvertedToSrgb) {
    const auto flat = [](Rgba colour) {
        return makePicture(32, 32, [=](int, int) { return colour; });
    };
    // Linear-light grey 128 is sRGB 188.
    writePng(dir / "linear.png", flat({128, 128, 128, 255}), {.icc = linearRgbProfile()});
    EXPECT_TRUE(near(prepare(dir / "linear.png", dir.path()).at(16, 16), {188, 188, 188, 255}, 4));
    writeJpeg(dir / "linear.jpg", flat({128, 128, 128, 255}), {.icc = linearRgbProfile()});
    EXPECT_TRUE(near(prepare(dir / "linear.jpg", dir.path()).at(16, 16), {188, 188, 188, 255}, 4));
    // With red and green primaries swapped, stored red is green.
    writePng(dir / "swapped.png", flat({255, 0, 0, 255}), {.icc = swappedRedGreenProfile()});
    EXPECT_TRUE(near(prepare(dir / "swapped.png", dir.path()).at(16, 16), {0, 255, 0, 255}, 20));
    // A grey image with a grey profile.
    writePng(dir / "grey.png", flat({128, 128, 128, 255}),
             {.kind = PngKind::Grey8, .icc = linearGreyProfile()});
    EXPECT_TRUE(near(prepare(dir / "grey.png", dir.path()).at(16, 16), {188, 188, 188, 255}, 4));
    // A profile that does not describe the pixels is ignored.
    writePng(dir / "mismatch.png", flat({128, 128, 128, 255}), {.icc = linearGreyProfile()});
    EXPECT_TRUE(near(prepare(dir / "mismatch.png", dir.path()).at(16, 16), kGrey, 4));
}

TEST_F(Picture_, AdobeCmykJpegComesOutInRgb) {
    writeAdobeCmykJpeg(dir / "cyan.jpg", 24, 16, {255, 0, 0, 0});
    EXPECT_TRUE(near(prepare(dir / "cyan.jpg", dir.path()).at(12, 8), {0, 255, 255, 255}));
    writeAdobeCmykJpeg(dir / "black.jpg", 24, 16, {0, 0, 0, 255});
    EXPECT_TRUE(near(prepare(dir / "black.jpg", dir.path()).at(12, 8), {0, 0, 0, 255}));
    writeAdobeCmykJpeg(dir / "paper.jpg", 24, 16, {0, 0, 0, 0});
    EXPECT_TRUE(near(prepare(dir / "paper.jpg", dir.path()).at(12, 8), kWhite));
}

TEST_F(Picture_, GreyPaletteSixteenBitAndInterlacedInputs) {
    const Picture picture = makePicture(40, 30, [](int x, int) { return x < 20 ? kRed : kGreen; });
    const Picture grey = makePicture(40, 30, [](int x, int) {
        return x < 20 ? Rgba{40, 40, 40, 255} : Rgba{220, 220, 220, 255};
    });
    struct Case {
        const char* name;
        PngOptions options;
        const Picture& picture;
    };
    const Case cases[] = {
        {"rgb16.png", {.kind = PngKind::Rgb16}, picture},
        {"palette.png", {.kind = PngKind::Palette}, picture},
        {"grey.png", {.kind = PngKind::Grey8}, grey},
        {"interlaced.png", {.kind = PngKind::Rgba8, .interlaced = true}, picture},
    };
    for (const Case& c : cases) {
        writePng(dir / c.name, c.picture, c.options);
        const Decoded out = prepare(dir / c.name, dir.path());
        EXPECT_TRUE(near(out.at(5, 15), c.picture.at(5, 15))) << c.name;
        EXPECT_TRUE(near(out.at(35, 15), c.picture.at(35, 15))) << c.name;
    }
    writeJpeg(dir / "grey.jpg", grey, {.grey = true});
    writeJpeg(dir / "progressive.jpg", picture, {.progressive = true});
    EXPECT_TRUE(near(prepare(dir / "grey.jpg", dir.path()).at(35, 15), {220, 220, 220, 255}));
    EXPECT_TRUE(near(prepare(dir / "progressive.jpg", dir.path()).at(5, 15), kRed));
}

} // namespace
