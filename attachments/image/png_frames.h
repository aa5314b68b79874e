#pragma once
// How many images a PNG holds, and where its pixels start. libspng does not know APNG, so
// the chunks ahead of the first IDAT are walked here: an acTL chunk announces an animation
// of num_frames frames, and the default image (IDAT) is one of them only when an fcTL
// chunk precedes it.

#include "attachments/input_file.h"

#include <cstdint>
#include <optional>

namespace attachments {

// A PNG's four-byte big-endian integers (lengths, CRCs, sizes).
inline std::uint32_t pngUint32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

// A PNG chunk length is at most 2^31 - 1.
inline constexpr std::uint32_t kMaxPngChunkLength = 0x7FFFFFFF;

struct PngImages {
    long long count = 0;         // a plain PNG holds 1
    std::uint64_t firstIdat = 0; // where the first IDAT chunk's header starts
};

// The images in the PNG `file`, or nothing when the chunk structure before IDAT is broken.
std::optional<PngImages> pngImages(const InputFile& file);

} // namespace attachments
