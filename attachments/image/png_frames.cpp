#include "attachments/image/png_frames.h"

#include <cstring>

namespace attachments {

std::optional<PngImages> pngImages(const InputFile& file) {
    std::uint64_t at = 8; // past the signature
    bool animated = false;
    std::uint32_t frames = 0;
    bool defaultImageIsFrame = false;
    // Chunks before IDAT are few; a file with thousands of them is not worth walking.
    for (int chunk = 0; chunk < 100000; ++chunk) {
        unsigned char header[8];
        if (file.readAt(at, header, 8) != 8u) return std::nullopt;
        const std::uint32_t length = pngUint32(header);
        if (length > kMaxPngChunkLength) return std::nullopt;
        const char* type = reinterpret_cast<const char*>(header + 4);
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!animated) return PngImages{1, at};
            return PngImages{static_cast<long long>(frames) + (defaultImageIsFrame ? 0 : 1), at};
        }
        if (std::memcmp(type, "acTL", 4) == 0) {
            unsigned char body[8];
            if (length != 8 || file.readAt(at + 8, body, 8) != 8u) return std::nullopt;
            animated = true;
            frames = pngUint32(body);
            if (frames == 0) return std::nullopt; // an animation of no frames is broken
        }
        if (std::memcmp(type, "fcTL", 4) == 0) defaultImageIsFrame = true;
        at += 12 + std::uint64_t{length}; // header, body and CRC
    }
    return std::nullopt;
}

} // namespace attachments
