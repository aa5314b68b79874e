#pragma once
// The orientation tag of an EXIF block, read with libexif.

#include <span>

namespace attachments {

// EXIF orientation 1..8 from `exif`, which may start with the "Exif\0\0" header (JPEG
// APP1) or directly with the TIFF header (PNG eXIf, WebP EXIF). 1 when the block is
// unreadable, has no orientation, or holds a value outside 1..8.
int exifOrientation(std::span<const unsigned char> exif);

} // namespace attachments
