#include "attachments/image/jpeg_row_encoder.h"

#include "attachments/failure.h"
#include "attachments/jpeg_writer.h"
#include "common/jpeg_error_trap.h"

#include <cstdio>
#include <cstring>
#include <new>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace attachments {
namespace {

using common::JpegErrorTrap;

constexpr std::size_t kFirstBufferBytes = 256 * 1024;

[[noreturn]] void failWrite() {
    fail(kCannotWriteImage);
}

// The compressed bytes go to a vector that grows as needed.
struct VectorDestination {
    jpeg_destination_mgr manager; // first, so libjpeg's pointer to it is a pointer to this
    std::vector<unsigned char> bytes;
};

VectorDestination& destinationOf(j_compress_ptr cinfo) {
    return *reinterpret_cast<VectorDestination*>(cinfo->dest);
}

void initDestination(j_compress_ptr cinfo) {
    VectorDestination& d = destinationOf(cinfo);
    d.manager.next_output_byte = d.bytes.data();
    d.manager.free_in_buffer = d.bytes.size();
}

// The buffer is full: twice the room. No exception may cross libjpeg, so a failed
// growth becomes libjpeg's own out-of-memory error.
boolean emptyOutputBuffer(j_compress_ptr cinfo) {
    VectorDestination& d = destinationOf(cinfo);
    const std::size_t used = d.bytes.size();
    bool grown = true;
    try {
        d.bytes.resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    d.manager.next_output_byte = d.bytes.data() + used;
    d.manager.free_in_buffer = d.bytes.size() - used;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
    VectorDestination& d = destinationOf(cinfo);
    d.bytes.resize(d.bytes.size() - d.manager.free_in_buffer);
}

} // namespace

struct JpegRowEncoder::State {
    JpegErrorTrap errors{};
    jpeg_compress_struct cinfo{};
    VectorDestination destination{};
    bool created = false;
    bool started = false;

    ~State() {
        if (created) jpeg_destroy_compress(&cinfo);
    }
};

JpegRowEncoder::JpegRowEncoder(int width, int height) : state_(std::make_unique<State>()) {
    if (width < 1 || height < 1) failWrite();
    State& s = *state_;
    s.cinfo.err = s.errors.arm();
    s.destination.bytes.resize(kFirstBufferBytes);
    s.destination.manager.init_destination = initDestination;
    s.destination.manager.empty_output_buffer = emptyOutputBuffer;
    s.destination.manager.term_destination = termDestination;
    if (!runGuarded(s.errors, [&] { jpeg_create_compress(&s.cinfo); })) failWrite();
    s.created = true;
    s.cinfo.dest = &s.destination.manager;
    s.cinfo.image_width = static_cast<JDIMENSION>(width);
    s.cinfo.image_height = static_cast<JDIMENSION>(height);
    s.cinfo.input_components = 3;
    s.cinfo.in_color_space = JCS_EXT_RGB;
    // As the whole-picture writer has libjpeg-turbo do it: YCbCr with chroma halved
    // both ways, quality 88 with the standard tables, the fast DCT below quality 96.
    const bool ok = runGuarded(s.errors, [&] {
        jpeg_set_defaults(&s.cinfo);
        jpeg_set_quality(&s.cinfo, jpegQuality, TRUE);
        s.cinfo.dct_method = JDCT_FASTEST;
        jpeg_set_colorspace(&s.cinfo, JCS_YCbCr);
        s.cinfo.comp_info[0].h_samp_factor = 2;
        s.cinfo.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c)
            s.cinfo.comp_info[c].h_samp_factor = s.cinfo.comp_info[c].v_samp_factor = 1;
        jpeg_start_compress(&s.cinfo, TRUE);
    });
    if (!ok) failWrite();
    s.started = true;
}

JpegRowEncoder::~JpegRowEncoder() = default;

void JpegRowEncoder::row(const unsigned char* rgb) {
    State& s = *state_;
    if (s.cinfo.next_scanline >= s.cinfo.image_height) failWrite();
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(rgb)};
    JDIMENSION written = 0;
    if (!runGuarded(s.errors, [&] { written = jpeg_write_scanlines(&s.cinfo, rows, 1); }) ||
        written != 1)
        failWrite();
}

std::vector<unsigned char> JpegRowEncoder::finish() {
    State& s = *state_;
    if (!s.started || s.cinfo.next_scanline != s.cinfo.image_height) failWrite();
    if (!runGuarded(s.errors, [&] { jpeg_finish_compress(&s.cinfo); })) failWrite();
    s.started = false;
    return std::move(s.destination.bytes);
}

} // namespace attachments
