#pragma once
// The Multi-Picture Format index (CIPA DC-007) that stereo and multi-shot cameras put in
// the first image's APP2 segment: a JPEG that lists two or more images holds two or more
// images, whatever a plain JPEG decoder shows of it.

#include <cstdint>
#include <optional>
#include <span>

namespace attachments {

// The number of images that the APP2 segment `segment` lists, or nothing when it is not
// an MP index ("MPF\0" and a TIFF-structured IFD) or cannot be read.
std::optional<std::uint32_t> mpfImageCount(std::span<const unsigned char> segment);

} // namespace attachments
