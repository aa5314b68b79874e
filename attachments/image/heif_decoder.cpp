// HEIF and AVIF through libheif. libheif applies the file's own transformations (irot,
// imir, clap) while decoding, so no EXIF orientation is applied on top: turning happens
// once. The reported size is the stored one from the 'ispe' box, before those
// transformations, as for every other format. libheif decodes the whole picture at once;
// its rows then stream through the downscaler like any decoder's. An 8-bit picture is taken
// as the RGB planes that libheif converts it to first, and interleaved here a row at a
// time: asked for interleaved pixels, libheif would make them from those planes while it
// holds both, a second whole picture.
#include "attachments/image/format_decoders.h"
#include "attachments/image/heif_library.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/quiet_stderr.h"
#include "attachments/image/still_av1_decoder.h"
#include "attachments/image/whole_picture_rows.h"
#include "common/unique_handle.h"

#include <vector>

namespace attachments {
namespace {

// libheif's release functions, reached through the loaded library (present whenever a
// decoder exists: openHeif() refuses the file without it).
void freeContext(heif_context* context) {
    heifLibrary()->context_free(context);
}
void releaseHandle(heif_image_handle* handle) {
    heifLibrary()->image_handle_release(handle);
}
void freeDecodingOptions(heif_decoding_options* options) {
    heifLibrary()->decoding_options_free(options);
}
void releaseImage(heif_image* image) {
    heifLibrary()->image_release(image);
}
using Context = common::Owned<heif_context, freeContext>;
using Handle = common::Owned<heif_image_handle, releaseHandle>;
using DecodingOptions = common::Owned<heif_decoding_options, freeDecodingOptions>;
using Image = common::Owned<heif_image, releaseImage>;

// libheif's reader over the input's cursor. The file does not grow: what lies past its
// size at opening is past its end.
const heif_reader kFileReader = {
    1,
    [](void* cursor) {
        return static_cast<int64_t>(static_cast<InputCursor*>(cursor)->position());
    },
    [](void* data, size_t size, void* cursor) {
        return static_cast<InputCursor*>(cursor)->read(data, size) == size ? 0 : 1;
    },
    [](int64_t position, void* cursor) {
        if (position < 0) return 1;
        static_cast<InputCursor*>(cursor)->seek(static_cast<std::uint64_t>(position));
        return 0;
    },
    [](int64_t size, void* cursor) {
        return size >= 0 && static_cast<std::uint64_t>(size) <=
                                static_cast<InputCursor*>(cursor)->file().size()
                   ? heif_reader_grow_status_size_reached
                   : heif_reader_grow_status_size_beyond_eof;
    },
};

class HeifDecoder final : public ImageDecoder {
public:
    HeifDecoder(const HeifLibrary& lib, InputFile file)
        : lib_(lib), file_(std::move(file)), cursor_(file_), context_(lib.context_alloc()) {}

    void open() {
        if (!context_) failUnsupported();
        const QuietStderr quiet;
        if (lib_.context_read_from_reader(context_.get(), &kFileReader, &cursor_, nullptr).code !=
            heif_error_Ok)
            failUnsupported();
        // Thumbnails and auxiliary images are not top-level; a second top-level image is.
        if (lib_.context_get_number_of_top_level_images(context_.get()) != 1) failUnsupported();
        heif_image_handle* handle = nullptr;
        if (lib_.context_get_primary_image_handle(context_.get(), &handle).code != heif_error_Ok)
            failUnsupported();
        handle_.reset(handle);
        stored_ = {lib_.image_handle_get_ispe_width(handle),
                   lib_.image_handle_get_ispe_height(handle)};
    }

    Size storedSize() const override { return stored_; }

    void decode(RowSink& sink) override {
        heif_image_handle* handle = handle_.get();
        RowFormat format;
        const bool alpha = lib_.image_handle_has_alpha_channel(handle) != 0;
        format.layout = !alpha ? PixelLayout::Rgbx
                               : (lib_.image_handle_is_premultiplied_alpha(handle)
                                      ? PixelLayout::RgbaPremultiplied
                                      : PixelLayout::Rgba);
        const heif_color_profile_type profile = lib_.image_handle_get_color_profile_type(handle);
        if (profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) {
            format.iccProfile.resize(lib_.image_handle_get_raw_color_profile_size(handle));
            if (format.iccProfile.empty() ||
                lib_.image_handle_get_raw_color_profile(handle, format.iccProfile.data()).code !=
                    heif_error_Ok)
                format.iccProfile.clear();
        }

        DecodingOptions options(lib_.decoding_options_alloc());
        const QuietStderr quiet;
        if (!options) failCannotPrepare();
        options.get()->convert_hdr_to_8bit = 1;
        const bool eightBit = lib_.image_handle_get_luma_bits_per_pixel(handle) <= 8 &&
                              lib_.image_handle_get_chroma_bits_per_pixel(handle) <= 8;
        if (eightBit) {
            const Image planes = decodeAs(heif_chroma_444, options.get());
            if (deliverPlanes(planes.get(), alpha, format, sink)) return;
        }
        // Deeper samples, brought to 8 bits by libheif, which converts to interleaved pixels
        // only: once, in 8-bit RGB, or RGBA when it has alpha.
        const int bytesPerPixel = alpha ? 4 : 3;
        const Image image = decodeAs(
            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
        int stride = 0;
        const uint8_t* plane =
            lib_.image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
        format.size = {lib_.image_get_width(image.get(), heif_channel_interleaved),
                       lib_.image_get_height(image.get(), heif_channel_interleaved)};
        // The turned size is known only now (libheif's handle reports the stored one).
        format.full = format.size;
        if (!plane || stride < format.size.width * bytesPerPixel) failCannotPrepare();
        deliverWholePicture(plane, static_cast<std::size_t>(stride), bytesPerPixel, format, sink);
    }

private:
    Image decodeAs(heif_chroma chroma, const heif_decoding_options* options) const {
        heif_image* decoded = nullptr;
        const heif_error error =
            lib_.decode_image(handle_.get(), &decoded, heif_colorspace_RGB, chroma, options);
        Image image(decoded); // owned whether or not libheif reports success
        if (error.code != heif_error_Ok) failCannotPrepare();
        return image;
    }

    // Starts `sink` and delivers the picture from its 8-bit R, G, B (and alpha) planes, or
    // returns false, having delivered nothing, when the planes are not all there at 8 bits.
    bool deliverPlanes(const heif_image* image, bool alpha, RowFormat& format,
                       RowSink& sink) const {
        const heif_channel channels[] = {heif_channel_R, heif_channel_G, heif_channel_B,
                                         heif_channel_Alpha};
        const uint8_t* planes[4] = {};
        int strides[4] = {};
        const int count = alpha ? 4 : 3;
        format.size = {lib_.image_get_width(image, heif_channel_R),
                       lib_.image_get_height(image, heif_channel_R)};
        format.full = format.size; // the turned size: libheif's handle reports the stored one
        for (int c = 0; c < count; ++c) {
            planes[c] = lib_.image_get_plane_readonly(image, channels[c], &strides[c]);
            if (!planes[c] || lib_.image_get_bits_per_pixel_range(image, channels[c]) != 8 ||
                lib_.image_get_width(image, channels[c]) != format.size.width ||
                lib_.image_get_height(image, channels[c]) != format.size.height ||
                strides[c] < format.size.width)
                return false;
        }
        sink.start(format);
        const auto width = static_cast<std::size_t>(format.size.width);
        std::vector<unsigned char> row(width * 4, 255);
        for (int y = 0; y < format.size.height; ++y) {
            for (int c = 0; c < count; ++c) {
                const uint8_t* from = planes[c] + static_cast<std::size_t>(strides[c]) * y;
                for (std::size_t x = 0; x < width; ++x)
                    row[x * 4 + c] = from[x];
            }
            sink.row(row.data());
        }
        return true;
    }

    const HeifLibrary& lib_;
    InputFile file_;
    InputCursor cursor_; // libheif reads through it for as long as the context lives
    Context context_;
    Handle handle_;
    Size stored_;
};

} // namespace

std::unique_ptr<ImageDecoder> openHeif(InputFile file) {
    const HeifLibrary* lib = heifLibrary();
    if (!lib) failUnsupported();
    registerStillAv1Decoder();
    auto decoder = std::make_unique<HeifDecoder>(*lib, std::move(file));
    decoder->open();
    return decoder;
}

} // namespace attachments
