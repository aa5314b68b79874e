// TIFF through libtiff and the conversions of its RGBA interface, which know every
// photometric interpretation, bit depth and compression that libtiff knows. The pixels are
// read as tiff_readers.h says, so that neither a strip nor a row of tiles is held decoded.
// libtiff reads the file through the input's descriptor and never maps it.
#include "attachments/image/format_decoders.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/tiff_library.h"
#include "attachments/image/tiff_readers.h"
#include "attachments/image/tiff_strip_rows.h"
#include "common/unique_handle.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>

namespace attachments {
namespace {

// Present whenever a decoder exists: openTiff() refuses the file without it.
const TiffLibrary& libtiff() {
    return *tiffLibrary();
}

// Allocations libtiff may make for one strip, tile or tag; beyond it the file is refused.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{256} << 20;

// Libtiff reports through handlers; these keep quiet and remember that something failed.
struct TiffState {
    bool failed = false;
};

int onError(TIFF*, void* user, const char*, const char*, va_list) {
    if (user) static_cast<TiffState*>(user)->failed = true;
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// libtiff's file procedures over the input's cursor; writing and mapping are refused.
tmsize_t readTiff(thandle_t handle, void* buffer, tmsize_t size) {
    if (size < 0) return -1;
    return static_cast<tmsize_t>(
        static_cast<InputCursor*>(handle)->read(buffer, static_cast<std::size_t>(size)));
}

tmsize_t writeTiff(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t seekTiff(thandle_t handle, toff_t offset, int whence) {
    auto& cursor = *static_cast<InputCursor*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = cursor.position();
    if (whence == SEEK_END) base = cursor.file().size();
    // libtiff passes negative offsets as their two's complement.
    cursor.seek(base + offset);
    return cursor.position();
}

int closeTiff(thandle_t) {
    return 0;
}

toff_t sizeTiff(thandle_t handle) {
    return static_cast<InputCursor*>(handle)->file().size();
}

int mapTiff(thandle_t, void**, toff_t*) {
    return 0;
}

void unmapTiff(thandle_t, void*, toff_t) {}

// libtiff's release functions, reached through the loaded library.
void freeOpenOptions(TIFFOpenOptions* options) {
    libtiff().OpenOptionsFree(options);
}
void releaseTiff(TIFF* tiff) {
    libtiff().Close(tiff);
}
using OpenOptions = common::Owned<TIFFOpenOptions, freeOpenOptions>;
using UniqueTiff = common::Owned<TIFF, releaseTiff>;

class RgbaImage {
public:
    RgbaImage() = default;
    RgbaImage(const RgbaImage&) = delete;
    ~RgbaImage() {
        if (begun) libtiff().RGBAImageEnd(&image);
    }
    TIFFRGBAImage image{};
    bool begun = false;
};

class TiffDecoder final : public ImageDecoder {
public:
    explicit TiffDecoder(InputFile file) : file_(std::move(file)), cursor_(file_) {
        // Messages raised before a file handle exists go to the process-wide handlers.
        libtiff().SetErrorHandler(nullptr);
        libtiff().SetWarningHandler(nullptr);
        OpenOptions options(libtiff().OpenOptionsAlloc());
        if (!options) failUnsupported();
        libtiff().OpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAllocation);
        libtiff().OpenOptionsSetErrorHandlerExtR(options.get(), onError, &state_);
        libtiff().OpenOptionsSetWarningHandlerExtR(options.get(), onWarning, nullptr);
        // "m": never map the file. "O": read strip and tile offsets as they are needed, not a
        // whole table of them (a picture of 40,000,000 one-row strips has 80 MB of it).
        tiff_.reset(libtiff().ClientOpenExt("input", "rmO", &cursor_, readTiff, writeTiff, seekTiff,
                                            closeTiff, sizeTiff, mapTiff, unmapTiff,
                                            options.get()));
        if (!tiff_ || state_.failed) failUnsupported();
        // Every directory is a page; a still picture has exactly one.
        if (libtiff().NumberOfDirectories(tiff_.get()) != 1 || state_.failed) failUnsupported();
        uint32_t width = 0;
        uint32_t height = 0;
        if (!libtiff().GetField(tiff_.get(), TIFFTAG_IMAGEWIDTH, &width) ||
            !libtiff().GetField(tiff_.get(), TIFFTAG_IMAGELENGTH, &height) || width > 0x7FFFFFFF ||
            height > 0x7FFFFFFF)
            failUnsupported();
        size_ = {static_cast<int>(width), static_cast<int>(height)};
        uint16_t orientation = ORIENTATION_TOPLEFT;
        libtiff().GetFieldDefaulted(tiff_.get(), TIFFTAG_ORIENTATION, &orientation);
        orientation_ = orientation >= 1 && orientation <= 8 ? orientation : 1;
    }

    Size storedSize() const override { return size_; }
    int orientation() const override { return orientation_; }

    void decode(RowSink& sink) override {
        char message[1024] = {};
        if (!libtiff().RGBAImageOK(tiff_.get(), message)) failCannotPrepare();
        RgbaImage rgba;
        rgba.begun = libtiff().RGBAImageBegin(&rgba.image, tiff_.get(), 0, message) != 0;
        if (!rgba.begun || state_.failed) failCannotPrepare();
        // Rows as stored: the orientation is applied after scaling, like every format's.
        rgba.image.req_orientation = rgba.image.orientation;

        RowFormat format;
        format.full = format.size = size_;
        format.layout = rgba.image.alpha ? PixelLayout::RgbaPremultiplied : PixelLayout::Rgbx;
        uint16_t photometric = PHOTOMETRIC_RGB;
        libtiff().GetFieldDefaulted(tiff_.get(), TIFFTAG_PHOTOMETRIC, &photometric);
        // Libtiff turns every interpretation into RGB; a profile still describes the
        // original grey or RGB values, which the RGB output keeps.
        format.model =
            photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE
                ? ColourModel::Grey
                : ColourModel::Rgb;
        uint32_t iccLength = 0;
        const unsigned char* icc = nullptr;
        if ((photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_MINISBLACK) &&
            libtiff().GetField(tiff_.get(), TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc)
            format.iccProfile.assign(icc, icc + iccLength);

        const TiffPixels pixels{libtiff(), tiff_.get(), rgba.image, size_, state_.failed};
        if (!readablePieceByPiece(pixels)) {
            readBands(pixels, format, sink);
        } else if (libtiff().IsTiled(tiff_.get())) {
            readTiles(pixels, format, sink);
        } else {
            const auto strip = TiffStripRows::open(pixels, file_);
            readScanlines(pixels, format, sink, strip.get());
        }
    }

private:
    InputFile file_;
    InputCursor cursor_;
    TiffState state_; // the handlers' record, for as long as the handle lives
    UniqueTiff tiff_;
    Size size_;
    int orientation_ = 1;
};

} // namespace

std::unique_ptr<ImageDecoder> openTiff(InputFile file) {
    if (!tiffLibrary()) failUnsupported();
    return std::make_unique<TiffDecoder>(std::move(file));
}

} // namespace attachments
