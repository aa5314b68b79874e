// However a TIFF lays its pixels out (strips of any height, one strip, tiles, separate
// planes, rows longer than a million pixels), the prepared picture is the same, byte for
// byte: each layout is read its own way, and all of them sum to the same bits.
#include "attachments/image/prepared_picture.h"
#include "format_fixtures.h"
#include "image_test_support.h"

#include <gtest/gtest.h>

using namespace fixtures;

namespace {

Picture busy(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 13 ^ x),
                    static_cast<std::uint8_t>((x * y) >> 4), 255};
    });
}

attachments::RgbPicture prepared(const std::filesystem::path& input) {
    const auto decoder = attachments::openImage(input.string());
    return attachments::preparePicture(*decoder);
}

struct Layout {
    const char* name;
    TiffOptions options;
};

TEST(TiffLayouts, EveryLayoutGivesTheSamePicture) {
    ScratchDir dir;
    const Layout layouts[] = {
        {"strips of 8", {}},
        {"one strip", {.rowsPerStrip = 0}},
        {"strips of 1", {.rowsPerStrip = 1}},
        {"tiles of 16", {.tileSide = 16}},
        {"tiles of 256", {.tileSide = 256}},
        {"separate planes", {.rowsPerStrip = 5, .separatePlanes = true}},
        {"16 bits, one strip", {.sixteen = true, .rowsPerStrip = 0}},
    };
    // Kept at its size, and reduced to 2000 x 385.
    for (const Picture& picture : {busy(603, 317), busy(2600, 500)}) {
        SCOPED_TRACE(testing::Message() << picture.width << " x " << picture.height);
        writePng(dir / "reference.png", picture);
        const attachments::RgbPicture want = prepared(dir / "reference.png");
        for (const Layout& layout : layouts) {
            writeTiff(dir / "layout.tif", picture, layout.options);
            const attachments::RgbPicture got = prepared(dir / "layout.tif");
            EXPECT_EQ(got.size, want.size) << layout.name;
            EXPECT_TRUE(got.pixels == want.pixels) << layout.name;
        }
    }
}

TEST(TiffLayouts, ATileMayOverhangItsPictureButNotBeyondAnyWritersTile) {
    ScratchDir dir;
    const Picture picture = busy(20, 10);
    writePng(dir / "reference.png", picture);
    const attachments::RgbPicture want = prepared(dir / "reference.png");
    writeTiff(dir / "overhang.tif", picture, {.tileSide = 1024});
    const attachments::RgbPicture got = prepared(dir / "overhang.tif");
    EXPECT_TRUE(got.pixels == want.pixels);
    // 2048 x 2048 for 200 pixels: refused before its 16 MiB buffer is made.
    writeTiff(dir / "huge-tile.tif", picture, {.tileSide = 2048});
    EXPECT_EQ(failureOf([&] { prepared(dir / "huge-tile.tif"); }), kCannotPrepare);
}

TEST(TiffLayouts, RowsLongerThanAMillionPixelsComeInPiecesToTheSamePicture) {
    ScratchDir dir;
    const Picture picture = busy(1'100'000, 2);
    writePng(dir / "reference.png", picture);
    const attachments::RgbPicture want = prepared(dir / "reference.png");
    ASSERT_EQ(want.size, (attachments::Size{2000, 1}));
    for (const Layout& layout :
         {Layout{"one strip", {.rowsPerStrip = 0}}, Layout{"tiles of 16", {.tileSide = 16}}}) {
        writeTiff(dir / "long.tif", picture, layout.options);
        EXPECT_TRUE(prepared(dir / "long.tif").pixels == want.pixels) << layout.name;
    }
}

} // namespace
