#pragma once
// A libjpeg data source that reads the input file through its descriptor, a buffer at a
// time, like libjpeg's own stdio source: the end of the data reads as an end-of-image
// marker with libjpeg's "premature end" warning, which the decoder counts as damage.

#include "attachments/input_file.h"

#include <array>
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

namespace attachments {

class JpegFileSource {
public:
    explicit JpegFileSource(const InputFile& file);
    JpegFileSource(const JpegFileSource&) = delete;
    JpegFileSource& operator=(const JpegFileSource&) = delete;

    // Makes this the source of `cinfo`; it must outlive every read through it.
    void attach(j_decompress_ptr cinfo) { cinfo->src = &manager_; }

private:
    static JpegFileSource& of(j_decompress_ptr cinfo);
    static boolean fill(j_decompress_ptr cinfo);
    static void skip(j_decompress_ptr cinfo, long count);

    jpeg_source_mgr manager_{}; // first, so libjpeg's pointer to it is a pointer to this
    InputCursor cursor_;
    std::array<JOCTET, 64 * 1024> buffer_{};
};

} // namespace attachments
