// A TIFF stored as one strip is decoded by the tool itself, a bounded run of its bytes at a
// time: its codecs give the bytes that libtiff's scanlines give, its pictures are those of
// the same pixels in many strips (which libtiff reads), and a strip that is damaged or
// ends early ends the run with the path's message.
#include "attachments/image/prepared_picture.h"
#include "attachments/image/strip_codec.h"
#include "format_fixtures.h"
#include "image_test_support.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>

using namespace fixtures;

namespace {

Picture busy(int width, int height) {
    return makePicture(width, height, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x * 7 + y), static_cast<std::uint8_t>(y * 13 ^ x),
                    static_cast<std::uint8_t>((x * y) >> 4),
                    static_cast<std::uint8_t>(x * 3 + y * 5)};
    });
}

attachments::RgbPicture prepared(const std::filesystem::path& input) {
    const auto decoder = attachments::openImage(input.string());
    return attachments::preparePicture(*decoder);
}

// Decodes `rows` rows of `rowBytes` each from `length` bytes at `offset`, each row read in
// two parts (the first `split` bytes, then the rest); nothing when the codec fails.
std::optional<std::vector<std::uint8_t>>
decodeStrip(const std::filesystem::path& path, std::uint16_t compression, std::uint64_t offset,
            std::uint64_t length, std::size_t rows, std::size_t rowBytes, std::size_t split) {
    const auto file = attachments::InputFile::open(path.string());
    if (!file) return std::nullopt;
    attachments::StripBytes bytes(*file);
    bytes.open(offset, length);
    attachments::StripInput input(bytes);
    const auto codec = attachments::makeStripCodec(compression, input);
    if (!codec) return std::nullopt;
    codec->startStrip();
    std::vector<std::uint8_t> out(rows * rowBytes);
    for (std::size_t r = 0; r < rows; ++r) {
        codec->startRow(rowBytes);
        unsigned char* row = out.data() + r * rowBytes;
        const std::size_t first = std::min(split, rowBytes);
        if (!codec->read(row, first) || !codec->read(row + first, rowBytes - first))
            return std::nullopt;
    }
    return out;
}

struct CodecCase {
    const char* name;
    TiffCompression compression;
    std::uint16_t tag;
};

TEST(TiffOneStrip, EachCodecGivesTheBytesOfLibtiffsScanlines) {
    ScratchDir dir;
    const CodecCase cases[] = {
        {"none", TiffCompression::None, COMPRESSION_NONE},
        {"LZW", TiffCompression::Lzw, COMPRESSION_LZW},
        {"Deflate", TiffCompression::Deflate, COMPRESSION_DEFLATE},
        {"Adobe Deflate", TiffCompression::AdobeDeflate, COMPRESSION_ADOBE_DEFLATE},
        {"PackBits", TiffCompression::PackBits, COMPRESSION_PACKBITS},
    };
    // Noise-free and noisy rows, so that LZW strings and PackBits runs cross the splits
    // and the rows' ends.
    const Picture flat = makePicture(203, 37, [](int x, int y) {
        return Rgba{static_cast<std::uint8_t>(x / 50 * 40), static_cast<std::uint8_t>(y), 9, 255};
    });
    for (const CodecCase& c : cases) {
        for (const Picture* picture : {&flat, static_cast<const Picture*>(nullptr)}) {
            const Picture pixels = picture ? *picture : busy(203, 37);
            SCOPED_TRACE(testing::Message() << c.name << (picture ? " flat" : " busy"));
            const auto path = dir / "strip.tif";
            writeTiff(path, pixels, {.rowsPerStrip = 0, .compression = c.compression});
            // "c": libtiff would otherwise cut an uncompressed strip into strips of its own.
            TIFF* tiff = TIFFOpen(path.c_str(), "rc");
            ASSERT_NE(tiff, nullptr);
            const auto rowBytes = static_cast<std::size_t>(TIFFScanlineSize(tiff));
            std::vector<std::uint8_t> want(rowBytes * 37);
            for (uint32_t y = 0; y < 37; ++y)
                ASSERT_EQ(TIFFReadScanline(tiff, want.data() + y * rowBytes, y, 0), 1);
            const std::uint64_t offset = TIFFGetStrileOffset(tiff, 0);
            const std::uint64_t length = TIFFGetStrileByteCount(tiff, 0);
            TIFFClose(tiff);
            for (const std::size_t split : {std::size_t{1}, std::size_t{7}, rowBytes}) {
                const auto got = decodeStrip(path, c.tag, offset, length, 37, rowBytes, split);
                ASSERT_TRUE(got) << "split " << split;
                EXPECT_TRUE(*got == want) << "split " << split;
            }
            // The same strip cut short cannot give every row.
            EXPECT_FALSE(decodeStrip(path, c.tag, offset, length / 2, 37, rowBytes, 7));
        }
    }
}

// LZW codes nine bits wide, most significant bit first, as a strip's bytes.
std::vector<std::uint8_t> nineBitCodes(std::initializer_list<unsigned> codes) {
    std::vector<std::uint8_t> out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const unsigned code : codes) {
        bits = (bits << 9) | code;
        count += 9;
        while (count >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits >> (count - 8)));
            count -= 8;
        }
    }
    if (count > 0) out.push_back(static_cast<std::uint8_t>(bits << (8 - count)));
    return out;
}

struct StreamCase {
    const char* name;
    std::uint16_t compression;
    std::vector<std::uint8_t> bytes;
    std::size_t rowBytes;
    std::size_t rows;
    std::optional<std::string> want; // nothing: the codec fails
};

TEST(TiffOneStrip, CodecsDecodeAndRefuseStreamsAsLibtiffDoes) {
    ScratchDir dir;
    const unsigned a = 'a', b = 'b';
    const StreamCase cases[] = {
        {"LZW strings", COMPRESSION_LZW, nineBitCodes({256, a, b, 258, 257}), 4, 1, "abab"},
        {"LZW code being made", COMPRESSION_LZW, nineBitCodes({256, a, 258, 257}), 3, 1, "aaa"},
        {"LZW string across rows", COMPRESSION_LZW, nineBitCodes({256, a, b, 258, 258, 257}), 3, 2,
         "ababab"},
        {"LZW code not yet in the table", COMPRESSION_LZW, nineBitCodes({256, a, 300}), 2, 1, {}},
        {"LZW string code after a clear", COMPRESSION_LZW, nineBitCodes({256, 258}), 1, 1, {}},
        {"LZW end before the rows end", COMPRESSION_LZW, nineBitCodes({256, a, 257}), 2, 1, {}},
        {"LZW strip without an end code", COMPRESSION_LZW, nineBitCodes({256, a}), 2, 1, {}},
        {"PackBits runs",
         COMPRESSION_PACKBITS,
         {0x02, 'p', 'q', 'r', 0x80, 0xFE, 'x'},
         6,
         1,
         "pqrxxx"},
        // A repeat loses what passes the row's end; a literal's rest is read as codes.
        {"PackBits runs cut at the row's end",
         COMPRESSION_PACKBITS,
         {0xFD, 'z', 0x03, 's', 't', 0x01, 'u', 'v'},
         2,
         3,
         "zzstuv"},
        {"PackBits literal cut short", COMPRESSION_PACKBITS, {0x05, 'a', 'b'}, 6, 1, {}},
        {"PackBits repeat without its byte", COMPRESSION_PACKBITS, {0xFE}, 3, 1, {}},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir / "strip", c.bytes);
        const auto got =
            decodeStrip(dir / "strip", c.compression, 0, c.bytes.size(), c.rows, c.rowBytes, 1);
        ASSERT_EQ(got.has_value(), c.want.has_value());
        if (got) {
            EXPECT_EQ(std::string(got->begin(), got->end()), *c.want);
        }
    }
}

struct StripCase {
    const char* name;
    TiffOptions options; // rowsPerStrip is set by the test
};

const StripCase kStripCases[] = {
    {"LZW", {}},
    {"LZW differenced", {.differenced = true}},
    {"LZW 16 bits differenced", {.sixteen = true, .differenced = true}},
    {"LZW alpha differenced", {.alpha = true, .differenced = true}},
    {"LZW grey 16 bits differenced", {.sixteen = true, .differenced = true, .grey = true}},
    {"Deflate", {.compression = TiffCompression::Deflate}},
    {"Deflate 16 bits alpha differenced",
     {.alpha = true,
      .sixteen = true,
      .compression = TiffCompression::Deflate,
      .differenced = true}},
    {"Adobe Deflate grey differenced",
     {.compression = TiffCompression::AdobeDeflate, .differenced = true, .grey = true}},
    {"PackBits", {.compression = TiffCompression::PackBits}},
    {"PackBits 16 bits alpha",
     {.alpha = true, .sixteen = true, .compression = TiffCompression::PackBits}},
    {"none", {.compression = TiffCompression::None}},
};

TEST(TiffOneStrip, GivesThePictureOfTheSamePixelsInManyStrips) {
    ScratchDir dir;
    // An odd width; rows longer than a million pixels come in pieces, which differencing
    // and PackBits runs cross.
    for (const Picture& picture : {busy(603, 317), busy(1'100'001, 2)}) {
        SCOPED_TRACE(testing::Message() << picture.width << " x " << picture.height);
        for (const StripCase& c : kStripCases) {
            TiffOptions options = c.options;
            options.rowsPerStrip = 1;
            writeTiff(dir / "strips.tif", picture, options);
            options.rowsPerStrip = 0;
            writeTiff(dir / "strip.tif", picture, options);
            const attachments::RgbPicture got = prepared(dir / "strip.tif");
            const attachments::RgbPicture want = prepared(dir / "strips.tif");
            EXPECT_EQ(got.size, want.size) << c.name;
            EXPECT_TRUE(got.pixels == want.pixels) << c.name;
        }
    }
}

// Sets the byte count of a one-strip TIFF as libtiff writes it (little-endian, the count
// a LONG in its directory entry).
void setStripByteCount(const std::filesystem::path& path, std::uint32_t count) {
    auto bytes = readBytes(path);
    const auto u16 = [&](std::size_t at) { return bytes[at] | bytes[at + 1] << 8; };
    std::uint32_t directory = 0;
    std::memcpy(&directory, &bytes[4], 4);
    for (int i = 0; i < u16(directory); ++i) {
        const std::size_t entry = directory + 2 + static_cast<std::size_t>(i) * 12;
        if (u16(entry) == TIFFTAG_STRIPBYTECOUNTS && u16(entry + 2) == TIFF_LONG)
            std::memcpy(&bytes[entry + 8], &count, 4);
    }
    writeBytes(path, bytes);
}

std::uint32_t stripByteCount(const std::filesystem::path& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    const auto count = static_cast<std::uint32_t>(TIFFGetStrileByteCount(tiff, 0));
    TIFFClose(tiff);
    return count;
}

TEST(TiffOneStrip, ADamagedOrShortStripEndsWithTheMessage) {
    ScratchDir dir;
    const auto path = dir / "damaged.tif";
    for (const Picture& picture : {busy(603, 317), busy(1'100'001, 1)}) {
        for (const StripCase& c : kStripCases) {
            // libtiff may take the length of an uncompressed strip from the picture's size.
            if (c.options.compression == TiffCompression::None) continue;
            SCOPED_TRACE(testing::Message() << c.name << ", " << picture.width);
            TiffOptions options = c.options;
            options.rowsPerStrip = 0;
            writeTiff(path, picture, options);
            setStripByteCount(path, stripByteCount(path) / 2);
            EXPECT_EQ(failureOf([&] { prepared(path); }), kCannotPrepare) << "short";
            // Any bytes are PackBits runs: only LZW and Deflate can be broken.
            if (c.options.compression == TiffCompression::PackBits) continue;
            // LZW: ones in place of the codes from a quarter of the way on, codes not yet in
            // the table. Deflate: a broken stream header (garbage within a stream may well
            // decode to enough bytes, for libtiff as for the tool).
            writeTiff(path, picture, options);
            auto bytes = readBytes(path);
            TIFF* tiff = TIFFOpen(path.c_str(), "r");
            const std::uint64_t offset = TIFFGetStrileOffset(tiff, 0);
            const std::uint64_t length = TIFFGetStrileByteCount(tiff, 0);
            TIFFClose(tiff);
            const bool lzw = c.options.compression == TiffCompression::Lzw;
            std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(offset + (lzw ? length / 4 : 0)),
                      bytes.begin() + static_cast<std::ptrdiff_t>(offset + (lzw ? length : 2)),
                      0xFF);
            writeBytes(path, bytes);
            EXPECT_EQ(failureOf([&] { prepared(path); }), kCannotPrepare) << "damaged";
        }
    }
}

} // namespace
