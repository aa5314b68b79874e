#pragma once
// The rows of a TIFF stored as one strip, decoded by the tool itself from the strip's
// bytes read a bounded run at a time (strip_codec.h), where libtiff would first read the
// whole compressed strip. The bytes of each row are those libtiff's scanlines give:
// horizontal differencing undone and 16-bit samples in the machine's order.

#include "attachments/image/strip_codec.h"
#include "attachments/image/tiff_readers.h"

#include <memory>
#include <vector>

namespace attachments {

class TiffStripRows {
public:
    // The reader for this file, or nullptr when libtiff's scanlines must serve it: more
    // than one strip, a compression, bit depth, predictor or bit order not decoded here,
    // or a strip that lies beyond the file's end.
    static std::unique_ptr<TiffStripRows> open(const TiffPixels& pixels, const InputFile& file);

    TiffStripRows(const InputFile& file, std::uint16_t compression);

    // A new row begins.
    void startRow();
    // The next `length` bytes of the row (whole samples, except in the row's last piece);
    // false when the strip's data ends early or is damaged.
    bool read(unsigned char* out, std::size_t length);

private:
    void undoDifferencing(unsigned char* out, std::size_t length);

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
