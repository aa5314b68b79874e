#pragma once
// One opened image file, its header already read and checked: the common face of the
// per-format decoders. Decoders deliver rows top to bottom, four bytes a pixel, at the
// cheapest size their codec offers that is not smaller than what the caller asks for.

#include "attachments/image/image_failures.h"
#include "attachments/image/image_geometry.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace attachments {

// How the four bytes of a delivered pixel are to be read.
enum class PixelLayout {
    Rgbx,              // opaque RGB, the fourth byte ignored (greyscale comes as R = G = B)
    Rgba,              // RGB with straight (unassociated) alpha
    RgbaPremultiplied, // RGB already multiplied by alpha
    Cmyk,              // ink amounts, 255 = full ink
    CmykInverted,      // Adobe's convention: 255 = no ink
};

// The colour model that an embedded ICC profile must describe to apply to the pixels
// (greyscale pixels are delivered as RGB but are described by a grey profile).
enum class ColourModel { Rgb, Grey, Cmyk };

// A size in delivered pixels that need not be whole.
struct Extent {
    double width = 0;
    double height = 0;
};

struct RowFormat {
    Size full; // the picture at full scale, before orientation: what the output fits
    Size size; // the rows that follow (a decoder may deliver the picture pre-shrunk)
    // How many of those rows and columns the picture covers, when not exactly `size`: a
    // decoder that shrinks by a factor that does not divide the picture rounds its size
    // up, and its last column and row then stand partly beyond the picture. Zero: `size`.
    Extent covered;
    // The rows come in pieces (RowSink::piece), a band of rows at a time, as tiles do.
    bool inPieces = false;
    PixelLayout layout = PixelLayout::Rgbx;
    ColourModel model = ColourModel::Rgb;
    std::vector<unsigned char> iccProfile; // empty: the pixels are sRGB
};

// Rows longer than this (a million pixels) are delivered in pieces of kPieceColumns, so
// that no decoder converts or holds a whole one; kPieceColumns is a multiple of 8, so that
// pieces of packed samples start on whole bytes.
inline constexpr std::size_t kWholeRowPixels = std::size_t{1} << 20;
inline constexpr int kPieceColumns = 65536;

// Receives a decoder's rows: one start(), then exactly size.height rows of
// size.width × 4 bytes, in order, each whole or (when the format says so) in pieces.
class RowSink {
public:
    virtual ~RowSink() = default;
    virtual void start(const RowFormat& format) = 0;
    virtual void row(const unsigned char* pixels) = 0;
    // Columns [x, x + width) of the next `rows` rows, `stride` bytes from one row to the
    // next. A band's pieces come left to right and end at the row's end; then the next
    // band. Sinks that take whole rows only fail with "Cannot prepare image".
    virtual void piece(int rows, int x, int width, const unsigned char* pixels,
                       std::size_t stride) {
        (void)rows, (void)x, (void)width, (void)pixels, (void)stride;
        failCannotPrepare();
    }
};

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;

    // The pixel size as stored in the file, before any orientation: what the report shows.
    virtual Size storedSize() const = 0;

    // EXIF orientation (1..8) still to be applied to the delivered rows.
    virtual int orientation() const { return 1; }

    // Decodes the image, delivering rows of at least fitWithin(full size) in each
    // direction. Fails with "Cannot prepare image" on damaged data.
    virtual void decode(RowSink& sink) = 0;
};

// Opens `path` (once: see InputFile), recognises its format by content, reads its header
// and checks that it holds exactly one image of an acceptable size; fails with
// "Unsupported, animated or damaged image" otherwise. No pixel is decoded here.
std::unique_ptr<ImageDecoder> openImage(const std::string& path);

} // namespace attachments
