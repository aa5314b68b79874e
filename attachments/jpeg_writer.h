#pragma once

#include "attachments/rgb_image.h"

#include <span>
#include <string>

namespace attachments {

// 0.88 on a 0-to-1 quality scale is libjpeg's quality 88 on its 0-to-100 scale; every
// JPEG the tool writes uses it, with libjpeg's default 4:2:0 chroma subsampling.
inline constexpr int jpegQuality = 88;

// Encodes `image` as a JPEG at quality 88 into a file beside `path` and puts it in place
// whole (OutputFile): a reader never sees half a file, a run killed meanwhile leaves no
// temporary file where the filesystem allows it, and a symbolic link planted under the
// name is replaced, not followed.
// Fails with "Cannot prepare image" when no file can be created there, and with "Cannot
// write image" when encoding, writing or putting it in place fails (nothing new is left).
void writeImage(const RgbView& image, const std::string& path);

// Writes an already encoded JPEG the same way, with the same failures.
void writeJpeg(std::span<const unsigned char> jpeg, const std::string& path);

} // namespace attachments
