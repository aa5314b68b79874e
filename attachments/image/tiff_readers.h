#pragma once
// The ways the TIFF decoder reads its pixels, each converting them to RGBA with the
// routines that libtiff's RGBA interface chose for the file (every photometric
// interpretation and bit depth it knows):
//   by scanline, for strips of any height: libtiff decodes a strip row by row, so a
//     picture stored as one strip is never held decoded (its compressed bytes would be:
//     this libtiff reads a strip's data whole, having been built without chunked strip
//     reads, so the tool decodes the common compressions of one strip itself);
//   by tile, a row of tiles put together into rows, or each tile handed on as a piece of
//     its band of rows when the row of tiles would be large;
//   through the RGBA interface itself, a strip or a row of tiles at a time, for what the
//     other two cannot convert piece by piece (separate planes, subsampled YCbCr, OJPEG).

#include "attachments/image/image_decoder.h"
#include "attachments/image/tiff_library.h"

namespace attachments {

struct TiffPixels {
    const TiffLibrary& lib;
    TIFF* tiff;
    TIFFRGBAImage& image; // begun, with rows as stored
    Size size;
    const bool& failed; // set by the file's error handler
};

// True when readScanlines() and readTiles() can convert this file's pixels.
bool readablePieceByPiece(const TiffPixels& pixels);

// Each starts `sink` with `format` (its piece flag set as it reads) and delivers every
// row; fails with "Cannot prepare image" on damaged data. readScanlines() takes its rows
// from `strip` when there is one (tiff_strip_rows.h), else from libtiff.
class TiffStripRows;
void readScanlines(const TiffPixels& pixels, RowFormat format, RowSink& sink, TiffStripRows* strip);
void readTiles(const TiffPixels& pixels, RowFormat format, RowSink& sink);
void readBands(const TiffPixels& pixels, RowFormat format, RowSink& sink);

} // namespace attachments
