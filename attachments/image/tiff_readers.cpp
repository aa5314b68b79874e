#include "attachments/image/tiff_readers.h"

#include "attachments/image/image_failures.h"
#include "attachments/image/tiff_strip_rows.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace attachments {
namespace {

// A row of tiles that takes no more than this (16 MiB) is put together and goes on as
// rows, which the row pipeline can hand to its second thread; longer ones go on in pieces.
constexpr std::size_t kWholeBandBytes = std::size_t{16} << 20;

const unsigned char* bytesOf(const std::vector<uint32_t>& pixels) {
    return reinterpret_cast<const unsigned char*>(pixels.data());
}

} // namespace

bool readablePieceByPiece(const TiffPixels& pixels) {
    const TIFFRGBAImage& image = pixels.image;
    if (!image.isContig || !image.put.contig) return false;
    uint16_t compression = COMPRESSION_NONE;
    pixels.lib.GetFieldDefaulted(pixels.tiff, TIFFTAG_COMPRESSION, &compression);
    if (compression == COMPRESSION_OJPEG) return false;
    // The RGBA interface has JPEG-compressed YCbCr decoded to RGB; other YCbCr is
    // converted a block of rows at a time, which pieces of one row cannot give.
    if (image.photometric == PHOTOMETRIC_YCBCR) {
        uint16_t across = 1, down = 1;
        pixels.lib.GetFieldDefaulted(pixels.tiff, TIFFTAG_YCBCRSUBSAMPLING, &across, &down);
        if (across != 1 || down != 1) return false;
    }
    return true;
}

void readScanlines(const TiffPixels& pixels, RowFormat format, RowSink& sink,
                   TiffStripRows* strip) {
    const tmsize_t scanline = pixels.lib.ScanlineSize(pixels.tiff);
    if (scanline <= 0) failCannotPrepare();
    const auto width = static_cast<std::size_t>(pixels.size.width);
    format.inPieces = width > kWholeRowPixels;
    const std::size_t columns = format.inPieces ? kPieceColumns : width;
    const std::size_t bitsPerPixel =
        std::size_t{pixels.image.samplesperpixel} * pixels.image.bitspersample;
    // The tool's own strip reader decodes a piece at a time; libtiff a whole row.
    std::vector<unsigned char> raw(strip ? (columns * bitsPerPixel + 7) / 8
                                         : static_cast<std::size_t>(scanline));
    std::vector<uint32_t> rgba(columns);
    sink.start(format);
    for (int y = 0; y < pixels.size.height; ++y) {
        if (strip) {
            if (!strip->startRow()) failCannotPrepare();
        } else if (pixels.lib.ReadScanline(pixels.tiff, raw.data(), static_cast<uint32_t>(y), 0) <
                       0 ||
                   pixels.failed) {
            failCannotPrepare();
        }
        for (std::size_t x = 0; x < width; x += columns) {
            const std::size_t n = std::min(columns, width - x);
            unsigned char* source = raw.data() + x * bitsPerPixel / 8;
            if (strip) {
                if (!strip->read(raw.data(), (n * bitsPerPixel + 7) / 8)) failCannotPrepare();
                source = raw.data();
            }
            pixels.image.put.contig(&pixels.image, rgba.data(), static_cast<uint32_t>(x),
                                    static_cast<uint32_t>(y), static_cast<uint32_t>(n), 1, 0, 0,
                                    source);
            if (format.inPieces) {
                sink.piece(1, static_cast<int>(x), static_cast<int>(n), bytesOf(rgba), n * 4);
            } else {
                sink.row(bytesOf(rgba));
            }
        }
    }
}

// Pixels in the largest tile accepted on a picture smaller than it (1024 x 1024).
constexpr std::uint64_t kLargestOverhangingTile = std::uint64_t{1} << 20;

void readTiles(const TiffPixels& pixels, RowFormat format, RowSink& sink) {
    uint32_t tileWidth = 0, tileHeight = 0;
    pixels.lib.GetField(pixels.tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    pixels.lib.GetField(pixels.tiff, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileBytes = pixels.lib.TileSize(pixels.tiff);
    if (tileWidth < 1 || tileHeight < 1 || tileBytes <= 0) failCannotPrepare();
    const auto width = static_cast<uint32_t>(pixels.size.width);
    const auto height = static_cast<uint32_t>(pixels.size.height);
    // A tile may overhang a small picture, but one larger than both the picture and any tile
    // a writer uses is a damaged file: its buffer alone (a few bytes of header can ask for
    // gigabytes) is not made.
    const std::uint64_t tilePixels = std::uint64_t{tileWidth} * tileHeight;
    if (tilePixels > std::max(std::uint64_t{width} * height, kLargestOverhangingTile))
        failCannotPrepare();
    const std::size_t bandPixels = std::size_t{width} * std::min(tileHeight, height);
    format.inPieces = bandPixels * 4 > kWholeBandBytes;
    std::vector<unsigned char> raw(static_cast<std::size_t>(tileBytes));
    // A tile's pixels when it goes on as a piece, else the whole row of tiles.
    std::vector<uint32_t> rgba(format.inPieces ? std::size_t{tileWidth} * tileHeight : bandPixels);
    sink.start(format);
    for (uint32_t y = 0; y < height; y += tileHeight) {
        const uint32_t rows = std::min(tileHeight, height - y);
        for (uint32_t x = 0; x < width; x += tileWidth) {
            const uint32_t columns = std::min(tileWidth, width - x);
            if (pixels.lib.ReadTile(pixels.tiff, raw.data(), x, y, 0, 0) < 0 || pixels.failed)
                failCannotPrepare();
            // The tile's rows are tileWidth pixels long; only `columns` of them are picture.
            const auto skew = static_cast<int32_t>(tileWidth - columns);
            if (format.inPieces) {
                pixels.image.put.contig(&pixels.image, rgba.data(), x, y, columns, rows, skew, 0,
                                        raw.data());
                sink.piece(static_cast<int>(rows), static_cast<int>(x), static_cast<int>(columns),
                           bytesOf(rgba), std::size_t{columns} * 4);
            } else {
                pixels.image.put.contig(&pixels.image, rgba.data() + x, x, y, columns, rows, skew,
                                        static_cast<int32_t>(width - columns), raw.data());
            }
        }
        if (format.inPieces) continue;
        for (uint32_t r = 0; r < rows; ++r)
            sink.row(reinterpret_cast<const unsigned char*>(rgba.data() + std::size_t{r} * width));
    }
}

void readBands(const TiffPixels& pixels, RowFormat format, RowSink& sink) {
    // Whole strips or rows of tiles, so each is decoded once.
    uint32_t band = 0;
    if (pixels.lib.IsTiled(pixels.tiff)) {
        pixels.lib.GetField(pixels.tiff, TIFFTAG_TILELENGTH, &band);
    } else {
        pixels.lib.GetFieldDefaulted(pixels.tiff, TIFFTAG_ROWSPERSTRIP, &band);
    }
    const auto height = static_cast<uint32_t>(pixels.size.height);
    band = std::clamp<uint32_t>(band, 1, height);
    const auto width = static_cast<std::size_t>(pixels.size.width);
    std::vector<uint32_t> raster(width * band);
    sink.start(format);
    for (uint32_t y = 0; y < height; y += band) {
        const uint32_t rows = std::min(band, height - y);
        pixels.image.row_offset = static_cast<int>(y);
        pixels.image.col_offset = 0;
        if (!pixels.lib.RGBAImageGet(&pixels.image, raster.data(), static_cast<uint32_t>(width),
                                     rows) ||
            pixels.failed)
            failCannotPrepare();
        for (uint32_t r = 0; r < rows; ++r)
            sink.row(reinterpret_cast<const unsigned char*>(raster.data() + r * width));
    }
}

} // namespace attachments
