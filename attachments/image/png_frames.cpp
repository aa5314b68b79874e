#include "attachments/image/png_frames.h"

#include <cstdint>
#include <cstring>

namespace attachments {
namespace {

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// A PNG chunk length is at most 2^31 - 1.
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;

} // namespace

std::optional<long long> pngImageCount(const InputFile& file) {
    std::uint64_t at = 8; // past the signature
    bool animated = false;
    std::uint32_t frames = 0;
    bool defaultImageIsFrame = false;
    // Chunks before IDAT are few; a file with thousands of them is not worth walking.
    for (int chunk = 0; chunk < 100000; ++chunk) {
        unsigned char header[8];
        if (file.readAt(at, header, 8) != 8u) return std::nullopt;
        const std::uint32_t length = bigEndian32(header);
        if (length > kMaxChunkLength) return std::nullopt;
        const char* type = reinterpret_cast<const char*>(header + 4);
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!animated) return 1;
            return static_cast<long long>(frames) + (defaultImageIsFrame ? 0 : 1);
        }
        if (std::memcmp(type, "acTL", 4) == 0) {
            unsigned char body[8];
            if (length != 8 || file.readAt(at + 8, body, 8) != 8u) return std::nullopt;
            animated = true;
            frames = bigEndian32(body);
            if (frames == 0) return std::nullopt; // an animation of no frames is broken
        }
        if (std::memcmp(type, "fcTL", 4) == 0) defaultImageIsFrame = true;
        at += 12 + std::uint64_t{length}; // header, body and CRC
    }
    return std::nullopt;
}

} // namespace attachments
