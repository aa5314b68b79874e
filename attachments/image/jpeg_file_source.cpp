#include "attachments/image/jpeg_file_source.h"

// clang-format off
#include <jerror.h>
// clang-format on

namespace attachments {

JpegFileSource::JpegFileSource(const InputFile& file) : cursor_(file) {
    manager_.init_source = [](j_decompress_ptr) {};
    manager_.fill_input_buffer = fill;
    manager_.skip_input_data = skip;
    manager_.resync_to_restart = jpeg_resync_to_restart;
    manager_.term_source = [](j_decompress_ptr) {};
}

JpegFileSource& JpegFileSource::of(j_decompress_ptr cinfo) {
    return *reinterpret_cast<JpegFileSource*>(cinfo->src);
}

boolean JpegFileSource::fill(j_decompress_ptr cinfo) {
    JpegFileSource& source = of(cinfo);
    std::size_t got = source.cursor_.read(source.buffer_.data(), source.buffer_.size());
    if (got == 0) {
        // As libjpeg's stdio source does: warn, then end the image.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source.buffer_[0] = 0xFF;
        source.buffer_[1] = JPEG_EOI;
        got = 2;
    }
    source.manager_.next_input_byte = source.buffer_.data();
    source.manager_.bytes_in_buffer = got;
    return TRUE;
}

void JpegFileSource::skip(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    JpegFileSource& source = of(cinfo);
    jpeg_source_mgr& m = source.manager_;
    const auto wanted = static_cast<std::size_t>(count);
    if (wanted <= m.bytes_in_buffer) {
        m.next_input_byte += wanted;
        m.bytes_in_buffer -= wanted;
        return;
    }
    // Past the buffer: move the file position instead of reading what is skipped.
    source.cursor_.seek(source.cursor_.position() + (wanted - m.bytes_in_buffer));
    m.next_input_byte = nullptr;
    m.bytes_in_buffer = 0;
}

} // namespace attachments
