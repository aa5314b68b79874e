#include "host/actions/jpeg_encoder.h"

#include "common/jpeg_error_trap.h"

#include <jerror.h>

#include <new>

namespace host {
namespace {

// A destination that grows a vector; it starts at a size most window captures fit in.
struct VectorSink {
    jpeg_destination_mgr manager;
    std::vector<unsigned char>* out;
};

VectorSink& sinkOf(j_compress_ptr codec) {
    return *reinterpret_cast<VectorSink*>(codec->dest);
}

void startSink(j_compress_ptr codec) {
    auto& sink = sinkOf(codec);
    sink.manager.next_output_byte = sink.out->data();
    sink.manager.free_in_buffer = sink.out->size();
}

boolean growSink(j_compress_ptr codec) {
    auto& sink = sinkOf(codec);
    const std::size_t used = sink.out->size();
    bool grown = true;
    try {
        sink.out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        // An exception must not cross the C library: fail through its own error path, once
        // the handler has been left.
        codec->err->msg_code = JERR_OUT_OF_MEMORY;
        codec->err->error_exit(reinterpret_cast<j_common_ptr>(codec));
    }
    sink.manager.next_output_byte = sink.out->data() + used;
    sink.manager.free_in_buffer = sink.out->size() - used;
    return TRUE;
}

void finishSink(j_compress_ptr codec) {
    auto& sink = sinkOf(codec);
    sink.out->resize(sink.out->size() - sink.manager.free_in_buffer);
}

bool describesItself(const platform::CapturedImage& image) {
    if (image.width <= 0 || image.height <= 0) return false;
    if (image.width > JPEG_MAX_DIMENSION || image.height > JPEG_MAX_DIMENSION) return false;
    const auto rowBytes = static_cast<std::size_t>(image.width) * 4;
    if (image.stride < rowBytes) return false;
    return image.bgrx.size() >=
           image.stride * static_cast<std::size_t>(image.height - 1) + rowBytes;
}

// Encodes into `out` (already sized to its first capacity); false on any codec error.
bool compress(const platform::CapturedImage& image, int quality, std::vector<JSAMPROW>& rows,
              std::vector<unsigned char>& out) {
    jpeg_compress_struct codec;
    common::JpegErrorTrap trap{};
    codec.err = trap.arm();
    if (!runGuarded(trap, [&] { jpeg_create_compress(&codec); })) return false;
    VectorSink sink{{}, &out};
    sink.manager.init_destination = startSink;
    sink.manager.empty_output_buffer = growSink;
    sink.manager.term_destination = finishSink;
    codec.dest = &sink.manager;

    codec.image_width = static_cast<JDIMENSION>(image.width);
    codec.image_height = static_cast<JDIMENSION>(image.height);
    codec.input_components = 4;
    codec.in_color_space = JCS_EXT_BGRX;
    const bool encoded = runGuarded(trap, [&] {
        jpeg_set_defaults(&codec);
        jpeg_set_quality(&codec, quality, TRUE);
        jpeg_start_compress(&codec, TRUE);
        jpeg_write_scanlines(&codec, rows.data(), static_cast<JDIMENSION>(rows.size()));
        jpeg_finish_compress(&codec);
    });
    jpeg_destroy_compress(&codec);
    return encoded;
}

} // namespace

std::optional<std::vector<unsigned char>> encodeJpeg(const platform::CapturedImage& image,
                                                     int quality) {
    if (!describesItself(image)) return std::nullopt;
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(image.height));
    auto* pixels = const_cast<unsigned char*>(image.bgrx.data()); // libjpeg only reads them
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = pixels + y * image.stride;

    // A quarter of a byte per pixel holds most window captures without growing.
    std::vector<unsigned char> out(
        std::max<std::size_t>(16384, static_cast<std::size_t>(image.width) * image.height / 4));
    if (!compress(image, quality, rows, out)) return std::nullopt;
    return out;
}

} // namespace host
