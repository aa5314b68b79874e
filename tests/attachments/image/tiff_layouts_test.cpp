// However a TIFF lays its pixels out (strips of any height, one strip, very many strips,
// tiles, separate planes, rows longer than a million pixels), the prepared picture is the
// same, byte for byte: each layout is read its own way, and all of them sum to the same bits.
#include "attachments/image/prepared_picture.h"
#include "attachments/image/tiff_strip_table.h"
#include "format_fixtures.h"
#include "image_test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <fstream>

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

// In more strips than libtiff's lists are worth holding, the tool reads where each strip
// lies from the file's own lists, a window at a time.
TEST(TiffStripTable, ReadsTheListsLibtiffWrote) {
    ScratchDir dir;
    const Layout layouts[] = {
        {"little-endian", {.rowsPerStrip = 1}},
        {"big-endian", {.rowsPerStrip = 1, .bigEndian = true}},
        {"BigTIFF", {.rowsPerStrip = 1, .bigTiff = true}},
        {"BigTIFF, big-endian", {.rowsPerStrip = 1, .bigTiff = true, .bigEndian = true}},
    };
    // 2 strips fit in the directory entry of a BigTIFF; 20000 cross the windows.
    for (int rows : {2, 3, 20000}) {
        for (const Layout& layout : layouts) {
            SCOPED_TRACE(testing::Message() << layout.name << ", " << rows << " strips");
            writeTiff(dir / "strips.tif", busy(5, rows), layout.options);
            TIFF* tiff = TIFFOpen((dir / "strips.tif").c_str(), "r");
            ASSERT_NE(tiff, nullptr);
            const auto file = attachments::InputFile::open(dir / "strips.tif");
            ASSERT_TRUE(file);
            const std::uint64_t strips = TIFFNumberOfStrips(tiff);
            ASSERT_EQ(strips, std::uint64_t(rows));
            auto table = attachments::TiffStripTable::open(
                *file,
                {TIFFCurrentDirOffset(tiff), TIFFIsBigTIFF(tiff) != 0, TIFFIsBigEndian(tiff) != 0},
                strips);
            ASSERT_TRUE(table);
            int wrong = 0;
            for (std::uint64_t i = 0; i < strips; ++i) {
                const auto place = table->at(i);
                wrong += !place || place->offset != TIFFGetStrileOffset(tiff, uint32_t(i)) ||
                         place->length != TIFFGetStrileByteCount(tiff, uint32_t(i));
            }
            EXPECT_EQ(wrong, 0);
            // Lists of another length are not this directory's.
            EXPECT_FALSE(attachments::TiffStripTable::open(
                *file,
                {TIFFCurrentDirOffset(tiff), TIFFIsBigTIFF(tiff) != 0, TIFFIsBigEndian(tiff) != 0},
                strips + 1));
            TIFFClose(tiff);
        }
    }
}

TEST(TiffManyStrips, GiveThePictureLibtiffGivesInFewerStrips) {
    ScratchDir dir;
    // 70001 one-row strips, past the 65536 that libtiff reads itself.
    const Picture picture = busy(7, 70001);
    const Layout cases[] = {
        {"LZW", {}},
        {"LZW, differenced", {.differenced = true}},
        {"Deflate, 16 bits", {.sixteen = true, .compression = TiffCompression::Deflate}},
        {"PackBits, grey", {.compression = TiffCompression::PackBits, .grey = true}},
        {"none, big-endian 16 bits",
         {.sixteen = true, .compression = TiffCompression::None, .bigEndian = true}},
        {"LZW, BigTIFF", {.bigTiff = true}},
    };
    for (const Layout& c : cases) {
        SCOPED_TRACE(c.name);
        TiffOptions fewer = c.options;
        fewer.rowsPerStrip = 16;
        writeTiff(dir / "fewer.tif", picture, fewer);
        TiffOptions many = c.options;
        many.rowsPerStrip = 1;
        writeTiff(dir / "many.tif", picture, many);
        const attachments::RgbPicture want = prepared(dir / "fewer.tif");
        const attachments::RgbPicture got = prepared(dir / "many.tif");
        EXPECT_EQ(got.size, want.size);
        EXPECT_TRUE(got.pixels == want.pixels);
    }
}

TEST(TiffManyStrips, ADamagedStripEndsWithTheMessage) {
    ScratchDir dir;
    writeTiff(dir / "many.tif", busy(7, 70001), {.rowsPerStrip = 1});
    TIFF* tiff = TIFFOpen((dir / "many.tif").c_str(), "r");
    ASSERT_NE(tiff, nullptr);
    const std::uint64_t offset = TIFFGetStrileOffset(tiff, 40000);
    const std::uint64_t length = TIFFGetStrileByteCount(tiff, 40000);
    TIFFClose(tiff);
    {
        // Codes past the table's end: LZW that cannot be decoded.
        std::fstream file(dir / "many.tif", std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(offset));
        const std::string garbage(length, '\xff');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    EXPECT_EQ(failureOf([&] { prepared(dir / "many.tif"); }), kCannotPrepare);
}

} // namespace
