#include "attachments/image/png_long_rows.h"

#include "attachments/image/image_failures.h"
#include "attachments/image/png_frames.h"
#include "attachments/image/png_idat_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace attachments {
namespace {

int channelsOf(std::uint8_t colourType) {
    switch (colourType) {
    case 0:
        return 1;
    case 2:
        return 3;
    case 3:
        return 1;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        failCannotPrepare();
    }
}

unsigned char paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return static_cast<unsigned char>(a);
    return static_cast<unsigned char>(pb <= pc ? b : c);
}

// Undoes a row's filter on `count` bytes at `raw`, whose `step` bytes before it are the
// row's unfiltered bytes to the left (zero at the row's start). `up` is the row above at
// the same place, or null when there is none (a picture one row high); `upLeft` its `step`
// bytes before `up`.
void unfilter(int filter, unsigned char* raw, std::size_t count, std::size_t step,
              const unsigned char* up, const unsigned char* upLeft) {
    const unsigned char* left = raw - step;
    const auto above = [&](std::size_t i) -> int { return up ? up[i] : 0; };
    const auto aboveLeft = [&](std::size_t i) -> int {
        if (!up) return 0;
        return i >= step ? up[i - step] : upLeft[i];
    };
    switch (filter) {
    case 0:
        return;
    case 1:
        for (std::size_t i = 0; i < count; ++i)
            raw[i] = static_cast<unsigned char>(raw[i] + left[i]);
        return;
    case 2:
        if (up)
            for (std::size_t i = 0; i < count; ++i)
                raw[i] = static_cast<unsigned char>(raw[i] + up[i]);
        return;
    case 3:
        for (std::size_t i = 0; i < count; ++i)
            raw[i] = static_cast<unsigned char>(raw[i] + ((left[i] + above(i)) >> 1));
        return;
    default:
        for (std::size_t i = 0; i < count; ++i)
            raw[i] = static_cast<unsigned char>(raw[i] + paeth(left[i], above(i), aboveLeft(i)));
        return;
    }
}

// Sample k of a row of `depth`-bit samples (1, 2, 4 or 8), most significant bits first.
unsigned sampleAt(const unsigned char* raw, std::size_t k, unsigned depth) {
    if (depth == 8) return raw[k];
    const std::size_t bit = k * depth;
    return (raw[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

// `n` pixels of unfiltered samples as 8-bit RGBA, as libspng gives them: 16-bit samples
// keep their high byte, lower depths are widened by repeating their bits, and a tRNS
// colour matches the stored samples (an 8-bit truecolour key its low bytes).
void toRgba(const PngLongRowLayout& layout, const unsigned char* raw, std::size_t n,
            unsigned char* out) {
    const unsigned depth = layout.bitDepth;
    const auto& key = layout.transparent;
    const auto wide = [&](std::size_t at) { return unsigned{raw[at]} << 8 | raw[at + 1]; };
    for (std::size_t k = 0; k < n; ++k, out += 4) {
        switch (layout.colourType) {
        case 0: {
            unsigned grey = 0, value = 0;
            if (depth == 16) {
                value = wide(k * 2);
                grey = value >> 8;
            } else {
                value = sampleAt(raw, k, depth);
                grey = value * 255 / ((1u << depth) - 1); // bit repetition, for 1, 2, 4 and 8
            }
            out[0] = out[1] = out[2] = static_cast<unsigned char>(grey);
            out[3] = key && (*key)[0] == value ? 0 : 255;
            break;
        }
        case 2: {
            bool keyed = bool(key);
            for (int c = 0; c < 3; ++c) {
                const unsigned value = depth == 16 ? wide(k * 6 + c * 2) : raw[k * 3 + c];
                const unsigned stored = depth == 16 ? (*key)[c] : ((*key)[c] & 0xFF);
                if (keyed) keyed = value == stored;
                out[c] = static_cast<unsigned char>(depth == 16 ? value >> 8 : value);
            }
            out[3] = keyed ? 0 : 255;
            break;
        }
        case 3:
            std::memcpy(out, layout.palette[sampleAt(raw, k, depth)].data(), 4);
            break;
        case 4: {
            const std::size_t bytes = depth / 8;
            out[0] = out[1] = out[2] = raw[k * 2 * bytes];
            out[3] = raw[k * 2 * bytes + bytes];
            break;
        }
        default: {
            const std::size_t bytes = depth / 8;
            for (int c = 0; c < 4; ++c)
                out[c] = raw[(k * 4 + c) * bytes];
            break;
        }
        }
    }
}

// The chunks after the pixels, up to IEND: ancillary ones are passed over (libspng lets
// a wrong CRC there be), any critical one but IEND is out of place.
void readChunksAfterPixels(const InputFile& file, std::uint64_t at) {
    for (;;) {
        unsigned char header[8];
        if (file.readAt(at, header, 8) != 8u) failCannotPrepare();
        const std::uint32_t length = pngUint32(header);
        if (length > kMaxPngChunkLength || at + 12 + length > file.size()) failCannotPrepare();
        const bool critical = (header[4] & 0x20) == 0;
        if (!critical) {
            at += 12 + std::uint64_t{length};
            continue;
        }
        unsigned char stored[4];
        if (std::memcmp(header + 4, "IEND", 4) != 0 || length != 0 ||
            file.readAt(at + 8, stored, 4) != 4u ||
            pngUint32(stored) != static_cast<std::uint32_t>(crc32(0, header + 4, 4)))
            failCannotPrepare();
        return;
    }
}

// One row being read a piece at a time: its compressed bytes, its filter, the piece after
// `step` bytes of the row's unfiltered bytes to its left, and the row above's `step`
// bytes left of the piece.
class RowReader {
public:
    RowReader(IdatStream stream, int filter, std::size_t step, std::size_t pieceBytes)
        : stream_(std::move(stream)), filter_(filter), step_(step), line_(step + pieceBytes) {}

    IdatStream& stream() { return stream_; }

    // Reads the next `count` bytes (at least `step`) and unfilters them against `up`, the
    // same bytes of the row above unfiltered (null: no row above); returns them.
    unsigned char* piece(std::size_t count, const unsigned char* up) {
        unsigned char* raw = line_.data() + step_;
        stream_.read(raw, count);
        unfilter(filter_, raw, count, step_, up, upLeft_);
        if (up) std::memcpy(upLeft_, up + count - step_, step_);
        std::memcpy(line_.data(), raw + count - step_, step_);
        return raw;
    }

private:
    IdatStream stream_;
    int filter_;
    std::size_t step_;
    std::vector<unsigned char> line_;
    unsigned char upLeft_[8] = {};
};

} // namespace

void readPngLongRows(const InputFile& file, const PngLongRowLayout& layout, RowFormat format,
                     RowSink& sink, const PngLongRowOptions& options) {
    const std::size_t bitsPerPixel = std::size_t(channelsOf(layout.colourType)) * layout.bitDepth;
    // Filters work on whole pixels, or on bytes when a pixel is smaller.
    const std::size_t step = std::max<std::size_t>(1, bitsPerPixel / 8);
    const std::size_t width = layout.width;
    const std::size_t rowBytes = (width * bitsPerPixel + 7) / 8;
    const std::size_t columns =
        std::min<std::size_t>(static_cast<std::size_t>(options.pieceColumns), width);
    const std::size_t pieceBytes = (columns * bitsPerPixel + 7) / 8;

    // The row above, unfiltered, when it is kept; else where each row since the last one
    // that needs no row above begins, with its filter, from which those rows are read again
    // beside the row that needs them.
    const bool keepRowAbove = rowBytes <= options.mostBytesKept;
    std::vector<unsigned char> above(keepRowAbove && layout.height > 1 ? rowBytes : 0);
    std::vector<std::pair<IdatStream, int>> rowsAbove;
    std::vector<unsigned char> rgba(columns * 4);
    IdatStream pixels(file, layout.firstIdat);

    format.inPieces = true;
    sink.start(format);
    for (std::uint32_t y = 0; y < layout.height; ++y) {
        unsigned char filter = 0;
        pixels.read(&filter, 1);
        if (filter > 4) failCannotPrepare();
        std::vector<RowReader> chain;
        if (!keepRowAbove) {
            // None, Sub and the first row take nothing from above.
            if (filter <= 1 || y == 0) rowsAbove.clear();
            for (const auto& [start, rowFilter] : rowsAbove)
                chain.emplace_back(IdatStream(start), rowFilter, step, pieceBytes);
            rowsAbove.emplace_back(IdatStream(pixels), filter);
        }
        // This row's reader reads on from the file's own stream.
        chain.emplace_back(std::move(pixels), filter, step, pieceBytes);
        for (std::size_t x = 0; x < width; x += columns) {
            const std::size_t n = std::min(columns, width - x);
            const std::size_t count = (n * bitsPerPixel + 7) / 8; // never less than `step`
            unsigned char* up = above.empty() ? nullptr : above.data() + x * bitsPerPixel / 8;
            unsigned char* raw = nullptr;
            for (RowReader& row : chain) {
                raw = row.piece(count, up);
                up = raw;
            }
            if (!above.empty()) std::memcpy(above.data() + x * bitsPerPixel / 8, raw, count);
            toRgba(layout, raw, n, rgba.data());
            sink.piece(1, static_cast<int>(x), static_cast<int>(n), rgba.data(), n * 4);
        }
        pixels = std::move(chain.back().stream());
    }
    readChunksAfterPixels(file, pixels.finish());
}

} // namespace attachments
