// Arbitrary bytes as a bundle's icon file: decoded by the icon reader, fitted to the
// 32-point square, encoded, and read back to the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "host/platform/linux/bundles/icon.h"

using namespace host::bundles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto image = decodePng(std::span<const unsigned char>(data, size));
    if (!image) return 0;
    if (image->width < 1 || image->height < 1 || image->width > 4096 || image->height > 4096 ||
        image->pixels.size() != static_cast<std::size_t>(image->width) * image->height * 4)
        std::abort();
    const Rgba icon = fitSquare(*image, 32);
    if (icon.width != 32 || icon.height != 32 || icon.pixels.size() != 32u * 32u * 4u) std::abort();
    auto png = encodePng(icon);
    if (!png) std::abort();
    auto back = decodePng(*png);
    if (!back || back->pixels != icon.pixels) std::abort();
    return 0;
}
