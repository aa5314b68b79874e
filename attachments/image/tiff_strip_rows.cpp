#include "attachments/image/tiff_strip_rows.h"

#include <tiff.h>

#include <cstring>

namespace attachments {
namespace {

bool decodedHere(std::uint16_t compression) {
    return compression == COMPRESSION_NONE || compression == COMPRESSION_LZW ||
           compression == COMPRESSION_DEFLATE || compression == COMPRESSION_ADOBE_DEFLATE ||
           compression == COMPRESSION_PACKBITS;
}

// Up to this many strips (1 MiB of lists) libtiff's own reading, which is faster, holds
// little; past it, the lists are read here a window at a time.
constexpr std::uint64_t kStripsLibtiffHolds = 65536;

} // namespace

std::unique_ptr<TiffStripRows> TiffStripRows::open(const TiffPixels& pixels,
                                                   const InputFile& file) {
    const TiffLibrary& lib = pixels.lib;
    TIFF* tiff = pixels.tiff;
    if (lib.IsTiled(tiff)) return nullptr;
    const std::uint64_t strips = lib.NumberOfStrips(tiff);
    std::uint16_t compression = COMPRESSION_NONE, predictor = PREDICTOR_NONE;
    std::uint16_t fillOrder = FILLORDER_MSB2LSB, bits = 1, samples = 1;
    std::uint16_t planes = PLANARCONFIG_CONTIG;
    std::uint32_t rowsPerStrip = 0;
    lib.GetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    lib.GetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &fillOrder);
    lib.GetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    lib.GetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    lib.GetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planes);
    lib.GetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (compression == COMPRESSION_LZW || compression == COMPRESSION_DEFLATE ||
        compression == COMPRESSION_ADOBE_DEFLATE)
        lib.GetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
    if (!decodedHere(compression) || fillOrder != FILLORDER_MSB2LSB || samples < 1) return nullptr;
    if (planes != PLANARCONFIG_CONTIG && samples != 1) return nullptr;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return nullptr;
    // Differencing of other depths, and the floating-point predictor, stay with libtiff,
    // which decodes or refuses them.
    if (predictor != PREDICTOR_NONE &&
        (predictor != PREDICTOR_HORIZONTAL || (bits != 8 && bits != 16)))
        return nullptr;
    const auto height = static_cast<std::uint64_t>(pixels.size.height);
    if (strips < 1 || rowsPerStrip < 1) return nullptr;
    if (strips > 1 && strips <= kStripsLibtiffHolds) return nullptr;
    // One strip may be libtiff's own correction of the file's lists (a missing or bogus
    // byte count): its place is libtiff's. More are the file's lists as they stand, which
    // libtiff reads without correcting when it defers them, as it does here.
    std::optional<TiffStripTable> table;
    StripPlace first;
    if (strips == 1) {
        int error = 0;
        first.offset = lib.GetStrileOffsetWithErr(tiff, 0, &error);
        if (error) return nullptr;
        first.length = lib.GetStrileByteCountWithErr(tiff, 0, &error);
        if (error) return nullptr;
        rowsPerStrip = static_cast<std::uint32_t>(height);
    } else {
        if ((height + rowsPerStrip - 1) / rowsPerStrip != strips) return nullptr;
        table = TiffStripTable::open(
            file,
            {lib.CurrentDirOffset(tiff), lib.IsBigTIFF(tiff) != 0, lib.IsBigEndian(tiff) != 0},
            strips);
        const auto place = table ? table->at(0) : std::nullopt;
        if (!place) return nullptr;
        first = *place;
    }
    if (first.length == 0 || first.offset > file.size() ||
        first.length > file.size() - first.offset)
        return nullptr;
    const tmsize_t rowBytes = lib.ScanlineSize(tiff);
    if (rowBytes <= 0) return nullptr;

    auto rows = std::make_unique<TiffStripRows>(file, compression);
    rows->table_ = std::move(table);
    rows->rowsPerStrip_ = rowsPerStrip;
    // A first strip in the old LZW is libtiff's to read.
    if (!rows->startStrip(first)) return nullptr;
    rows->rowBytes_ = static_cast<std::size_t>(rowBytes);
    rows->samplesPerPixel_ = samples;
    rows->bitsPerSample_ = bits;
    rows->swap16_ = bits == 16 && lib.IsByteSwapped(tiff);
    rows->differenced_ = predictor == PREDICTOR_HORIZONTAL;
    rows->last_.assign(samples, 0);
    return rows;
}

TiffStripRows::TiffStripRows(const InputFile& file, std::uint16_t compression)
    : compression_(compression), bytes_(file), input_(bytes_),
      codec_(makeStripCodec(compression, input_)) {}

bool TiffStripRows::startStrip(StripPlace place) {
    // A strip of no bytes is one libtiff refuses; so is the old LZW after the first strip,
    // which the decoder here does not read.
    if (place.length == 0) return false;
    bytes_.open(place.offset, place.length);
    codec_->startStrip();
    if (compression_ == COMPRESSION_LZW) {
        // Looked at in the strip's first run, which the decoder then reads.
        const auto start = input_.peek();
        if (start.size() >= 2 && start[0] == 0 && (start[1] & 1) != 0) return false;
    }
    rowsLeft_ = rowsPerStrip_;
    return true;
}

bool TiffStripRows::startRow() {
    if (rowsLeft_ == 0) {
        const auto place = table_ ? table_->at(nextStrip_++) : std::nullopt;
        if (!place || !startStrip(*place)) return false;
    }
    --rowsLeft_;
    codec_->startRow(rowBytes_);
    rowDone_ = 0;
    return true;
}

bool TiffStripRows::read(unsigned char* out, std::size_t length) {
    if (length > rowBytes_ - rowDone_ || !codec_->read(out, length)) return false;
    if (swap16_) {
        for (std::size_t i = 0; i + 1 < length; i += 2)
            std::swap(out[i], out[i + 1]);
    }
    if (differenced_) undoDifferencing(out, length);
    rowDone_ += length;
    return true;
}

void TiffStripRows::undoDifferencing(unsigned char* out, std::size_t length) {
    // Sample i of the row adds to the one samplesPerPixel_ before it; the first pixel is
    // stored whole. last_ carries the pixel before this piece.
    const std::size_t sampleBytes = bitsPerSample_ / 8;
    const auto spp = static_cast<std::size_t>(samplesPerPixel_);
    const std::size_t first = rowDone_ / sampleBytes; // the row's index of out's first sample
    const std::size_t count = length / sampleBytes;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t c = (first + i) % spp;
        if (bitsPerSample_ == 8) {
            if (first + i >= spp) out[i] = static_cast<unsigned char>(out[i] + last_[c]);
            last_[c] = out[i];
        } else {
            std::uint16_t v = 0;
            std::memcpy(&v, out + i * 2, 2);
            if (first + i >= spp) v = static_cast<std::uint16_t>(v + last_[c]);
            std::memcpy(out + i * 2, &v, 2);
            last_[c] = v;
        }
    }
}

} // namespace attachments
