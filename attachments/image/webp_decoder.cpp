// WebP through libwebp, decoded straight at the wanted size by libwebp's own scaler;
// libwebp's demuxer counts animation frames and finds the EXIF and ICC chunks. libwebp
// wants the whole file in one piece: it is read into memory, not mapped, so that a file
// cut short meanwhile is only a short file.
#include "attachments/image/exif_orientation.h"
#include "attachments/image/format_decoders.h"
#include "attachments/image/image_failures.h"
#include "common/unique_handle.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <vector>

namespace attachments {
namespace {

using UniqueDemux = common::Owned<WebPDemuxer, WebPDemuxDelete>;

// A decoded picture in libwebp's own buffer, released with it.
class DecodedBuffer {
public:
    DecodedBuffer() = default;
    DecodedBuffer(const DecodedBuffer&) = delete;
    ~DecodedBuffer() { WebPFreeDecBuffer(&buffer); }
    WebPDecBuffer buffer{};
};

std::vector<unsigned char> chunk(WebPDemuxer* demux, const char* fourcc) {
    WebPChunkIterator it{};
    std::vector<unsigned char> bytes;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &it))
        bytes.assign(it.chunk.bytes, it.chunk.bytes + it.chunk.size);
    WebPDemuxReleaseChunkIterator(&it);
    return bytes;
}

// Decodes one bitstream (a still file, or one frame of an animation) at `size`,
// premultiplied RGBA, into `out`.
void decodeBitstream(const uint8_t* data, std::size_t length, Size full, Size size,
                     DecodedBuffer& out) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) failCannotPrepare();
    if (size != full) {
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width;
        config.options.scaled_height = size.height;
    }
    config.output.colorspace = MODE_rgbA;
    // libwebp filters and converts rows on a thread of its own while it parses the next.
    config.options.use_threads = 1;
    const VP8StatusCode status = WebPDecode(data, length, &config);
    out.buffer = config.output; // freed by `out` whatever the status
    if (status != VP8_STATUS_OK || out.buffer.width != size.width ||
        out.buffer.height != size.height)
        failCannotPrepare();
}

class WebpDecoder final : public ImageDecoder {
public:
    WebpDecoder(std::vector<std::uint8_t> file, UniqueDemux demux,
                const WebPBitstreamFeatures& features)
        : file_(std::move(file)),
          demux_(std::move(demux)), canvas_{features.width, features.height},
          alpha_(features.has_alpha != 0), animated_(features.has_animation != 0) {
        const auto exif = chunk(demux_.get(), "EXIF");
        if (!exif.empty()) orientation_ = exifOrientation(exif);
        icc_ = chunk(demux_.get(), "ICCP");
    }

    Size storedSize() const override { return canvas_; }
    int orientation() const override { return orientation_; }

    void decode(RowSink& sink) override {
        RowFormat format;
        format.layout = alpha_ ? PixelLayout::RgbaPremultiplied : PixelLayout::Rgbx;
        format.iccProfile = icc_;
        format.full = canvas_;
        DecodedBuffer decoded;
        if (!animated_) {
            // libwebp scales to any size, so it delivers exactly the wanted one.
            const Size size = fitWithin(canvas_);
            decodeBitstream(file_.data(), file_.size(), canvas_, size, decoded);
            format.size = size;
            emitRows(decoded, {0, 0}, sink, format);
            return;
        }
        // A one-frame animation: the frame at its offset on a transparent canvas.
        WebPIterator frame{};
        const bool found = WebPDemuxGetFrame(demux_.get(), 1, &frame) != 0;
        const WebPIterator copy = frame;
        WebPDemuxReleaseIterator(&frame);
        if (!found || copy.complete == 0) failCannotPrepare();
        const Size frameSize{copy.width, copy.height};
        decodeBitstream(copy.fragment.bytes, copy.fragment.size, frameSize, frameSize, decoded);
        format.size = canvas_;
        format.layout = PixelLayout::RgbaPremultiplied;
        emitRows(decoded, {copy.x_offset, copy.y_offset}, sink, format);
    }

private:
    // Rows of `format.size`, with the decoded picture placed at `offset` on transparency.
    static void emitRows(const DecodedBuffer& decoded, Size offset, RowSink& sink,
                         const RowFormat& format) {
        const WebPRGBABuffer& rgba = decoded.buffer.u.RGBA;
        const int w = decoded.buffer.width;
        const int h = decoded.buffer.height;
        sink.start(format);
        std::vector<unsigned char> row(static_cast<std::size_t>(format.size.width) * 4);
        const bool placed = offset.width != 0 || offset.height != 0 || w != format.size.width ||
                            h != format.size.height;
        for (int y = 0; y < format.size.height; ++y) {
            const int fy = y - offset.height;
            if (!placed) {
                sink.row(rgba.rgba + static_cast<std::size_t>(y) * rgba.stride);
                continue;
            }
            std::fill(row.begin(), row.end(), 0);
            if (fy >= 0 && fy < h) {
                const int from = std::max(0, offset.width);
                const int to = std::min(format.size.width, offset.width + w);
                if (from < to)
                    std::copy_n(rgba.rgba + static_cast<std::size_t>(fy) * rgba.stride +
                                    static_cast<std::size_t>(from - offset.width) * 4,
                                static_cast<std::size_t>(to - from) * 4,
                                &row[static_cast<std::size_t>(from) * 4]);
            }
            sink.row(row.data());
        }
    }

    std::vector<std::uint8_t> file_; // the demuxer points into it
    UniqueDemux demux_;
    Size canvas_;
    bool alpha_;
    bool animated_;
    int orientation_ = 1;
    std::vector<unsigned char> icc_;
};

// The whole file, or as much of it as there is now.
std::vector<std::uint8_t> readWhole(const InputFile& file) {
    std::vector<std::uint8_t> bytes(file.size());
    const std::optional<std::size_t> got = file.readAt(0, bytes.data(), bytes.size());
    if (!got) failUnsupported();
    bytes.resize(*got);
    return bytes;
}

} // namespace

std::unique_ptr<ImageDecoder> openWebp(InputFile file) {
    std::vector<std::uint8_t> bytes = readWhole(file);
    WebPBitstreamFeatures features{};
    if (WebPGetFeatures(bytes.data(), bytes.size(), &features) != VP8_STATUS_OK) failUnsupported();
    // A partial parse still counts the frames present, so a cut-off still picture is
    // refused only when it is decoded.
    const WebPData data{bytes.data(), bytes.size()};
    WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
    UniqueDemux demux(WebPDemuxPartial(&data, &state));
    if (!demux || state == WEBP_DEMUX_PARSE_ERROR) failUnsupported();
    if (features.has_animation && WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT) != 1)
        failUnsupported();
    return std::make_unique<WebpDecoder>(std::move(bytes), std::move(demux), features);
}

} // namespace attachments
