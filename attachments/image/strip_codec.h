#pragma once
// Decoders of the TIFF compressions whose strips the tool reads itself, a bounded run of
// bytes at a time, where libtiff would read a strip's stored bytes whole: none, LZW,
// Deflate and PackBits. Each decodes exactly as libtiff does when it reads a strip one
// scanline at a time, so the rows are the same bytes, and fails where libtiff fails.

#include "attachments/image/strip_bytes.h"

#include <cstdint>
#include <memory>

namespace attachments {

class StripCodec {
public:
    virtual ~StripCodec() = default;
    // A new strip begins: its bytes come from the input the decoder was made with.
    virtual void startStrip() = 0;
    // A row of `bytes` decoded bytes begins (PackBits runs end with their row).
    virtual void startRow(std::size_t bytes) { (void)bytes; }
    // The next `length` decoded bytes of the row; false when the data ends early or is
    // damaged.
    virtual bool read(unsigned char* out, std::size_t length) = 0;
};

// The decoder for a TIFF compression tag value, or nullptr when it is not one of these.
std::unique_ptr<StripCodec> makeStripCodec(std::uint16_t compression, StripInput& input);

std::unique_ptr<StripCodec> makeLzwDecoder(StripInput& input);
std::unique_ptr<StripCodec> makeDeflateDecoder(StripInput& input);
std::unique_ptr<StripCodec> makePackBitsDecoder(StripInput& input);

} // namespace attachments
