#include "attachments/image/strip_codec.h"

#include <tiff.h>

namespace attachments {
namespace {

// Uncompressed strips: the stored bytes are the rows.
class StoredBytes final : public StripCodec {
public:
    explicit StoredBytes(StripInput& input) : input_(input) {}
    void startStrip() override { input_.restart(); }
    bool read(unsigned char* out, std::size_t length) override { return input_.copy(out, length); }

private:
    StripInput& input_;
};

} // namespace

std::unique_ptr<StripCodec> makeStripCodec(std::uint16_t compression, StripInput& input) {
    switch (compression) {
    case COMPRESSION_NONE:
        return std::make_unique<StoredBytes>(input);
    case COMPRESSION_LZW:
        return makeLzwDecoder(input);
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return makeDeflateDecoder(input);
    case COMPRESSION_PACKBITS:
        return makePackBitsDecoder(input);
    default:
        return nullptr;
    }
}

} // namespace attachments
