// A TIFF in more strips than libtiff's lists are worth holding is read by the tool itself:
// where each strip lies comes from the file's own lists, a window at a time, and the
// pictures are those libtiff gives for the same pixels in fewer strips.
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
    struct Case {
        const char* name;
        TiffOptions options;
    };
    const Case cases[] = {
        {"LZW", {}},
        {"LZW, differenced", {.differenced = true}},
        {"Deflate, 16 bits", {.sixteen = true, .compression = TiffCompression::Deflate}},
        {"PackBits, grey", {.compression = TiffCompression::PackBits, .grey = true}},
        {"none, big-endian 16 bits",
         {.sixteen = true, .compression = TiffCompression::None, .bigEndian = true}},
        {"LZW, BigTIFF", {.bigTiff = true}},
    };
    for (const Case& c : cases) {
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
