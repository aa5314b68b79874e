#pragma once
// Recognising an image format by its first bytes; the file name plays no part.

#include <span>

namespace attachments {

enum class ImageFormat { Unknown, Jpeg, Png, Gif, Webp, Tiff, Heif };

// How many leading bytes detectFormat() looks at.
inline constexpr int kSignatureBytes = 16;

ImageFormat detectFormat(std::span<const unsigned char> head);

} // namespace attachments
