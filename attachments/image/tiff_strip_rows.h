#pragma once
// The rows of a TIFF stored in one strip or in very many, decoded by the tool itself from
// each strip's bytes read a bounded run at a time (strip_codec.h): libtiff would first read
// a whole compressed strip, or hold the lists of where the strips lie whole
// (tiff_strip_table.h). The bytes of each row are those libtiff's scanlines give:
// horizontal differencing undone and 16-bit samples in the machine's order.

#include "attachments/image/strip_codec.h"
#include "attachments/image/tiff_readers.h"
#include "attachments/image/tiff_strip_table.h"

#include <memory>
#include <optional>
#include <vector>

namespace attachments {

class TiffStripRows {
public:
    // The reader for this file, or nullptr when libtiff's scanlines must serve it: up to
    // 65536 strips but more than one, samples in separate planes, a compression, bit depth,
    // predictor or bit order not decoded here, strip lists libtiff would correct, or a first strip
    // that lies beyond the file's end or holds LZW of the old kind.
    static std::unique_ptr<TiffStripRows> open(const TiffPixels& pixels, const InputFile& file);

    TiffStripRows(const InputFile& file, std::uint16_t compression);

    // A new row begins; false when its strip cannot be found or read (a strip of no bytes,
    // or a later strip in LZW of the old kind).
    bool startRow();
    // The next `length` bytes of the row (whole samples, except in the row's last piece);
    // false when the strip's data ends early or is damaged.
    bool read(unsigned char* out, std::size_t length);

private:
    void undoDifferencing(unsigned char* out, std::size_t length);
    bool startStrip(StripPlace place);

    std::uint16_t compression_;
    std::optional<TiffStripTable> table_; // with more than one strip
    std::uint64_t nextStrip_ = 1;         // the strip after the one being read
    std::uint32_t rowsPerStrip_ = 0;
    std::uint32_t rowsLeft_ = 0; // in the strip being read
    StripBytes bytes_;
    StripInput input_;
    std::unique_ptr<StripCodec> codec_;
    std::size_t rowBytes_ = 0;
    int samplesPerPixel_ = 1;
    int bitsPerSample_ = 8;
    bool swap16_ = false;      // 16-bit samples stored in the other byte order
    bool differenced_ = false; // predictor 2: each sample stored as the change from the last pixel
    std::vector<std::uint16_t> last_; // the row's last pixel so far, for differencing
    std::size_t rowDone_ = 0;         // bytes of the row read so far
};

} // namespace attachments
