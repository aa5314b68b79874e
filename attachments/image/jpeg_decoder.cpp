// JPEG through libjpeg-turbo, decoded at the smallest DCT scale (1/8 … 8/8) that still
// covers the wanted size, so a 24-megapixel photo never exists at full size.
#include "attachments/image/exif_orientation.h"
#include "attachments/image/format_decoders.h"
#include "attachments/image/image_failures.h"
#include "attachments/image/jpeg_file_source.h"
#include "attachments/image/mpf_index.h"
#include "common/jpeg_error_trap.h"
#include "common/unique_handle.h"

#include <cstdio>
#include <cstring>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace attachments {
namespace {

using common::JpegErrorTrap;

// More scans than any sane progressive file has; a crafted file could otherwise make the
// decoder loop over thousands of tiny scans.
constexpr int kMaxScans = 500;

// Warnings about the entropy-coded data mean missing or garbled pixels that libjpeg
// would fill with grey: the picture is damaged. Other warnings are harmless.
void emitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
        JpegErrorTrap::of(cinfo).damaged = true;
        break;
    default:
        break;
    }
}

void limitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        JpegErrorTrap::of(cinfo).damaged = true;
        cinfo->err->error_exit(cinfo);
    }
}

bool isMarker(const jpeg_saved_marker_ptr m, int code, const char* tag, std::size_t tagLength) {
    return m->marker == code && m->data_length >= tagLength &&
           std::memcmp(m->data, tag, tagLength) == 0;
}

class JpegDecoder final : public ImageDecoder {
public:
    explicit JpegDecoder(InputFile file) : file_(std::move(file)), source_(file_) {
        std::memset(&cinfo_, 0, sizeof cinfo_);
        cinfo_.err = errors_.arm(emitMessage);
        progress_.progress_monitor = limitScans;
        if (!runGuarded(errors_, [&] { jpeg_create_decompress(&cinfo_); })) failUnsupported();
        created_ = true;
        cinfo_.progress = &progress_;
    }

    ~JpegDecoder() override {
        if (created_) jpeg_destroy_decompress(&cinfo_);
    }

    void readHeader() {
        const bool ok = runGuarded(errors_, [&] {
            source_.attach(&cinfo_);
            jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
            jpeg_save_markers(&cinfo_, JPEG_APP0 + 2, 0xFFFF);
            headerStatus_ = jpeg_read_header(&cinfo_, TRUE);
        });
        if (!ok || headerStatus_ != JPEG_HEADER_OK) failUnsupported();
        switch (cinfo_.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_RGB:
        case JCS_YCbCr:
        case JCS_CMYK:
        case JCS_YCCK:
            break;
        default:
            failUnsupported();
        }
        bool exifSeen = false;
        bool mpfSeen = false;
        for (jpeg_saved_marker_ptr m = cinfo_.marker_list; m; m = m->next) {
            if (!exifSeen && isMarker(m, JPEG_APP0 + 1, "Exif\0\0", 6)) {
                exifSeen = true;
                orientation_ = exifOrientation({m->data, m->data_length});
            }
            // A multi-picture file (MPO) holds more than the one image decoded here.
            if (!mpfSeen && isMarker(m, JPEG_APP0 + 2, "MPF\0", 4)) {
                mpfSeen = true;
                if (mpfImageCount({m->data, m->data_length}).value_or(1) > 1) failUnsupported();
            }
        }
    }

    Size storedSize() const override {
        return {static_cast<int>(cinfo_.image_width), static_cast<int>(cinfo_.image_height)};
    }

    int orientation() const override { return orientation_; }

    void decode(RowSink& sink) override {
        RowFormat format;
        const bool cmyk =
            cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
        format.model = cmyk ? ColourModel::Cmyk
                            : (cinfo_.jpeg_color_space == JCS_GRAYSCALE ? ColourModel::Grey
                                                                        : ColourModel::Rgb);
        format.layout =
            cmyk ? (cinfo_.saw_Adobe_marker ? PixelLayout::CmykInverted : PixelLayout::Cmyk)
                 : PixelLayout::Rgbx;
        format.iccProfile = iccProfile();

        const Size full = storedSize();
        format.full = full;
        const unsigned eighths = smallestScale(full, fitWithin(full));
        const bool started = runGuarded(errors_, [&] {
            cinfo_.scale_num = eighths;
            cinfo_.scale_denom = 8;
            cinfo_.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;
            cinfo_.dct_method = JDCT_ISLOW;
            jpeg_start_decompress(&cinfo_);
        });
        if (!started || errors_.damaged || cinfo_.output_components != 4) failCannotPrepare();
        format.size = {static_cast<int>(cinfo_.output_width),
                       static_cast<int>(cinfo_.output_height)};
        // M/8 of a side that is no multiple of 8/M is fractional; libjpeg rounds it up.
        format.covered = {full.width * (eighths / 8.0), full.height * (eighths / 8.0)};
        sink.start(format);

        constexpr int kBatch = 16;
        const std::size_t rowBytes = static_cast<std::size_t>(cinfo_.output_width) * 4;
        std::vector<unsigned char> buffer(rowBytes * kBatch);
        JSAMPROW rows[kBatch];
        for (int i = 0; i < kBatch; ++i)
            rows[i] = buffer.data() + rowBytes * i;
        while (cinfo_.output_scanline < cinfo_.output_height) {
            JDIMENSION got = 0;
            const bool ok =
                runGuarded(errors_, [&] { got = jpeg_read_scanlines(&cinfo_, rows, kBatch); });
            if (!ok || errors_.damaged || got == 0) failCannotPrepare();
            for (JDIMENSION i = 0; i < got; ++i)
                sink.row(rows[i]);
        }
    }

private:
    std::vector<unsigned char> iccProfile() {
        JOCTET* data = nullptr;
        unsigned int length = 0;
        const bool ok = runGuarded(errors_, [&] {
            if (!jpeg_read_icc_profile(&cinfo_, &data, &length)) {
                data = nullptr;
                length = 0;
            }
        });
        common::Malloced<JOCTET> owned(data);
        if (!ok || !owned) return {};
        return {owned.get(), owned.get() + length};
    }

    // The smallest scale M/8 whose output still covers `atLeast` (libjpeg rounds up), of
    // 1/8, 2/8, 4/8 and 8/8: the odd scales (3/8, 5/8...) cut the DCT where it aliases hard
    // edges, 30 dB off a full-size resize on 10-pixel blocks where 4/8 keeps 43 dB.
    static unsigned smallestScale(Size full, Size atLeast) {
        for (unsigned m = 1; m < 8; m *= 2) {
            const auto scaled = [m](int side) {
                return (static_cast<long long>(side) * m + 7) / 8;
            };
            if (scaled(full.width) >= atLeast.width && scaled(full.height) >= atLeast.height)
                return m;
        }
        return 8;
    }

    InputFile file_;
    JpegFileSource source_;
    JpegErrorTrap errors_{};
    jpeg_progress_mgr progress_{};
    jpeg_decompress_struct cinfo_;
    bool created_ = false;
    int headerStatus_ = 0;
    int orientation_ = 1;
};

} // namespace

std::unique_ptr<ImageDecoder> openJpeg(InputFile file) {
    auto decoder = std::make_unique<JpegDecoder>(std::move(file));
    decoder->readHeader();
    return decoder;
}

} // namespace attachments
