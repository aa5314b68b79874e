// PNG through libspng, row by row (progressive decoding), expanded to 8-bit RGBA; rows
// too long to hold whole are decoded a piece at a time by the tool itself
// (png_long_rows.h).
#include "attachments/image/exif_orientation.h"
#include "attachments/image/format_decoders.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/png_frames.h"
#include "attachments/image/png_long_rows.h"
#include "attachments/image/whole_picture_rows.h"
#include "common/unique_handle.h"

#include <spng.h>

#include <vector>

namespace attachments {
namespace {

using SpngContext = common::Owned<spng_ctx, spng_ctx_free>;

// Ancillary chunks (profiles, text, EXIF) are capped so a crafted file cannot make
// libspng hold gigabytes of them.
constexpr std::size_t kMaxChunkBytes = 64u << 20;

// libspng's reader: exactly `length` bytes, or the end of the data.
int readStream(spng_ctx*, void* user, void* destination, std::size_t length) {
    InputCursor& cursor = *static_cast<InputCursor*>(user);
    return cursor.read(destination, length) == length ? 0 : SPNG_IO_EOF;
}

class PngDecoder final : public ImageDecoder {
public:
    explicit PngDecoder(InputFile file) : file_(std::move(file)), cursor_(file_) {
        const auto images = pngImages(file_);
        if (!images || images->count != 1) failUnsupported();
        firstIdat_ = images->firstIdat;
        ctx_.reset(spng_ctx_new(0));
        if (!ctx_ || spng_set_png_stream(ctx_.get(), readStream, &cursor_) != 0 ||
            spng_set_chunk_limits(ctx_.get(), kMaxChunkBytes, kMaxChunkBytes) != 0 ||
            spng_get_ihdr(ctx_.get(), &ihdr_) != 0)
            failUnsupported();
        spng_exif exif{};
        if (spng_get_exif(ctx_.get(), &exif) == 0 && exif.data)
            orientation_ =
                exifOrientation({reinterpret_cast<const unsigned char*>(exif.data), exif.length});
    }

    Size storedSize() const override {
        if (ihdr_.width > 0x7FFFFFFF || ihdr_.height > 0x7FFFFFFF) return {};
        return {static_cast<int>(ihdr_.width), static_cast<int>(ihdr_.height)};
    }

    int orientation() const override { return orientation_; }

    void decode(RowSink& sink) override {
        RowFormat format;
        format.full = format.size = storedSize();
        spng_trns trns{};
        const bool alpha = ihdr_.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                           ihdr_.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
                           spng_get_trns(ctx_.get(), &trns) == 0;
        format.layout = alpha ? PixelLayout::Rgba : PixelLayout::Rgbx;
        const bool grey = ihdr_.color_type == SPNG_COLOR_TYPE_GRAYSCALE ||
                          ihdr_.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA;
        format.model = grey ? ColourModel::Grey : ColourModel::Rgb;
        spng_iccp iccp{};
        if (spng_get_iccp(ctx_.get(), &iccp) == 0 && iccp.profile)
            format.iccProfile.assign(iccp.profile, iccp.profile + iccp.profile_len);

        const std::size_t rowBytes = static_cast<std::size_t>(format.size.width) * 4;
        if (ihdr_.interlace_method != SPNG_INTERLACE_NONE) {
            // Interlaced rows arrive pass by pass, so the picture has to be whole first:
            // once, in 8-bit RGB, or RGBA when it has alpha.
            const int bytesPerPixel = alpha ? 4 : 3;
            const std::size_t stride = static_cast<std::size_t>(format.size.width) * bytesPerPixel;
            std::vector<unsigned char> image(stride * format.size.height);
            if (spng_decode_image(ctx_.get(), image.data(), image.size(),
                                  alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8, SPNG_DECODE_TRNS) != 0)
                failCannotPrepare();
            deliverWholePicture(image.data(), stride, bytesPerPixel, format, sink);
            return;
        }
        if (ihdr_.width > kWholeRowPixels) {
            readPngLongRows(file_, longRowLayout(), std::move(format), sink);
            return;
        }
        if (spng_decode_image(ctx_.get(), nullptr, 0, SPNG_FMT_RGBA8,
                              SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) != 0)
            failCannotPrepare();
        sink.start(format);
        std::vector<unsigned char> row(rowBytes);
        for (int y = 0; y < format.size.height; ++y) {
            const int status = spng_decode_row(ctx_.get(), row.data(), row.size());
            // The last row ends the image: libspng says so with SPNG_EOI.
            if (status != 0 && !(status == SPNG_EOI && y == format.size.height - 1))
                failCannotPrepare();
            sink.row(row.data());
        }
        // The rest of the file: the last IDAT's checksum and the chunks after it.
        if (spng_decode_chunks(ctx_.get()) != 0) failCannotPrepare();
    }

private:
    PngLongRowLayout longRowLayout() const {
        PngLongRowLayout layout;
        layout.width = ihdr_.width;
        layout.height = ihdr_.height;
        layout.bitDepth = ihdr_.bit_depth;
        layout.colourType = ihdr_.color_type;
        layout.firstIdat = firstIdat_;
        spng_trns trns{};
        const bool hasTrns = spng_get_trns(ctx_.get(), &trns) == 0;
        if (ihdr_.color_type == SPNG_COLOR_TYPE_INDEXED) {
            spng_plte plte{};
            if (spng_get_plte(ctx_.get(), &plte) != 0) failCannotPrepare();
            for (std::uint32_t i = 0; i < 256; ++i) {
                const bool listed = i < plte.n_entries;
                const std::uint8_t alpha =
                    hasTrns && i < trns.n_type3_entries ? trns.type3_alpha[i] : 255;
                layout.palette[i] = {listed ? plte.entries[i].red : std::uint8_t{0},
                                     listed ? plte.entries[i].green : std::uint8_t{0},
                                     listed ? plte.entries[i].blue : std::uint8_t{0}, alpha};
            }
        } else if (hasTrns && ihdr_.color_type == SPNG_COLOR_TYPE_GRAYSCALE) {
            layout.transparent = {trns.gray, 0, 0};
        } else if (hasTrns && ihdr_.color_type == SPNG_COLOR_TYPE_TRUECOLOR) {
            layout.transparent = {trns.red, trns.green, trns.blue};
        }
        return layout;
    }

    InputFile file_;
    InputCursor cursor_;
    SpngContext ctx_;
    spng_ihdr ihdr_{};
    std::uint64_t firstIdat_ = 0;
    int orientation_ = 1;
};

} // namespace

std::unique_ptr<ImageDecoder> openPng(InputFile file) {
    return std::make_unique<PngDecoder>(std::move(file));
}

} // namespace attachments
