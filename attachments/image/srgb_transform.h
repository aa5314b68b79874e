#pragma once
// Conversion of decoded pixels from an embedded ICC profile to sRGB, with lcms2. Built
// once per image and applied to the scaled rows only, so its cost follows the output
// size, not the source size.

#include "attachments/image/image_decoder.h"

#include <memory>
#include <span>

namespace attachments {

class SrgbTransform {
public:
    // A transform for pixels of `layout` described by `profile`, or nothing when the
    // profile is unreadable, does not describe `model`, or needs no conversion.
    static std::unique_ptr<SrgbTransform> create(std::span<const unsigned char> profile,
                                                 ColourModel model, PixelLayout layout);
    ~SrgbTransform();

    // `count` pixels of four bytes (straight alpha, if any, in the fourth) to three-byte sRGB.
    void convert(const unsigned char* in, unsigned char* out, int count) const;

private:
    struct Handles;
    explicit SrgbTransform(std::unique_ptr<Handles> handles);
    std::unique_ptr<Handles> handles_;
};

} // namespace attachments
