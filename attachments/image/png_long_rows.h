#pragma once
// PNG rows too long to hold whole, decoded here a piece of a row at a time. libspng keeps
// two undecoded rows and hands out whole ones, which for a picture millions of pixels wide
// is most of the tool's memory. Here the IDAT chunks are inflated as they are read, each
// piece is unfiltered against the row above (the one row kept, none when the picture is one
// row high, and none when a row is too long to keep: see PngLongRowOptions) and converted
// to 8-bit RGBA as libspng converts it.

#include "attachments/image/image_decoder.h"
#include "attachments/input_file.h"

#include <array>
#include <cstdint>
#include <optional>

namespace attachments {

struct PngLongRowLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t bitDepth = 8;
    std::uint8_t colourType = 2; // the IHDR's: 0 grey, 2 RGB, 3 indexed, 4 grey + alpha, 6 RGBA
    // Indexed colour: the RGBA of every index, tRNS alpha included; an index past the
    // file's palette is opaque black, as libspng gives it.
    std::array<std::array<std::uint8_t, 4>, 256> palette{};
    // Greyscale or truecolour with a tRNS chunk: its grey sample (first) or red, green and
    // blue samples, as stored.
    std::optional<std::array<std::uint16_t, 3>> transparent;
    std::uint64_t firstIdat = 0; // where the first IDAT chunk's header starts
};

struct PngLongRowOptions {
    // Pixels a piece: a multiple of 8, so that pieces start on whole bytes.
    int pieceColumns = kPieceColumns;
    // The longest row above that is kept for the filters that need it. A longer one is
    // not: the rows it depends on are inflated again beside the row, from where they begin
    // in the file, which costs time (at most the square of the few rows that such a
    // picture can have) and no memory.
    std::size_t mostBytesKept = std::size_t{32} << 20;
};

// Starts `sink` with `format` (marked as coming in pieces), delivers every row in pieces,
// then
// reads the chunks after the pixels up to IEND. Fails with "Cannot prepare image" where
// libspng fails: a chunk cut short or with a wrong CRC, damaged compressed data or a wrong
// checksum, a filter type past 4, too few pixels, a critical chunk after the pixels other
// than IEND, or no IEND.
void readPngLongRows(const InputFile& file, const PngLongRowLayout& layout, RowFormat format,
                     RowSink& sink, const PngLongRowOptions& options = {});

} // namespace attachments
