#include "host/platform/linux/bundles/icon.h"

#include <algorithm>
#include <cmath>
#include <png.h>

namespace host::bundles {
namespace {

constexpr png_uint_32 kMaxDecodedSide = 4096;

// png_image keeps internal state until freed; this frees it on every path.
struct PngImage {
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    png_image image{};
};

} // namespace

std::optional<Rgba> decodePng(std::span<const unsigned char> bytes) {
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, bytes.data(), bytes.size()))
        return std::nullopt;
    if (png.image.width == 0 || png.image.height == 0 || png.image.width > kMaxDecodedSide ||
        png.image.height > kMaxDecodedSide)
        return std::nullopt;
    png.image.format = PNG_FORMAT_RGBA;
    Rgba decoded{static_cast<int>(png.image.width), static_cast<int>(png.image.height), {}};
    decoded.pixels.resize(PNG_IMAGE_SIZE(png.image));
    if (!png_image_finish_read(&png.image, nullptr, decoded.pixels.data(), 0, nullptr))
        return std::nullopt;
    return decoded;
}

std::optional<std::vector<unsigned char>> encodePng(const Rgba& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 4)
        return std::nullopt;
    PngImage png;
    png.image.width = static_cast<png_uint_32>(image.width);
    png.image.height = static_cast<png_uint_32>(image.height);
    png.image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png.image, nullptr, &size, 0, image.pixels.data(), 0, nullptr))
        return std::nullopt;
    std::vector<unsigned char> encoded(size);
    if (!png_image_write_to_memory(&png.image, encoded.data(), &size, 0, image.pixels.data(), 0,
                                   nullptr))
        return std::nullopt;
    encoded.resize(size);
    return encoded;
}

Rgba fitSquare(const Rgba& image, int side) {
    Rgba out{side, side, std::vector<unsigned char>(static_cast<std::size_t>(side) * side * 4, 0)};
    if (image.width <= 0 || image.height <= 0) return out;
    const double scale =
        std::min(static_cast<double>(side) / image.width, static_cast<double>(side) / image.height);
    const int width = std::max(1, static_cast<int>(std::lround(image.width * scale)));
    const int height = std::max(1, static_cast<int>(std::lround(image.height * scale)));
    const int left = (side - width) / 2;
    const int top = (side - height) / 2;
    for (int y = 0; y < height; ++y) {
        const int y0 = y * image.height / height;
        const int y1 = std::max(y0 + 1, (y + 1) * image.height / height);
        for (int x = 0; x < width; ++x) {
            const int x0 = x * image.width / width;
            const int x1 = std::max(x0 + 1, (x + 1) * image.width / width);
            // Averaged with premultiplied alpha, so transparent pixels lend no colour.
            double sum[4] = {0, 0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const unsigned char* row =
                    &image.pixels[(static_cast<std::size_t>(sy) * image.width) * 4];
                for (int sx = x0; sx < x1; ++sx) {
                    const unsigned char* p = row + sx * 4;
                    const double alpha = p[3] / 255.0;
                    sum[0] += p[0] * alpha;
                    sum[1] += p[1] * alpha;
                    sum[2] += p[2] * alpha;
                    sum[3] += p[3];
                }
            }
            const double count = static_cast<double>(y1 - y0) * (x1 - x0);
            unsigned char* q =
                &out.pixels[(static_cast<std::size_t>(top + y) * side + left + x) * 4];
            const double alpha = sum[3] / count;
            for (int c = 0; c < 3; ++c) {
                double value = alpha > 0 ? sum[c] / count / (alpha / 255.0) : 0.0;
                q[c] = static_cast<unsigned char>(std::clamp(std::lround(value), 0L, 255L));
            }
            q[3] = static_cast<unsigned char>(std::clamp(std::lround(alpha), 0L, 255L));
        }
    }
    return out;
}

Rgba genericIcon(int side) {
    Rgba icon{side, side, std::vector<unsigned char>(static_cast<std::size_t>(side) * side * 4, 0)};
    const double margin = side / 16.0;
    const double radius = side / 6.0;
    const double low = margin;
    const double high = side - margin;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            // Distance outside the rounded square; anti-aliased over one pixel.
            const double dx = std::max({low + radius - px, px - (high - radius), 0.0});
            const double dy = std::max({low + radius - py, py - (high - radius), 0.0});
            const double outside = std::hypot(dx, dy) - radius;
            const double coverage = std::clamp(0.5 - outside, 0.0, 1.0);
            if (coverage <= 0) continue;
            unsigned char* p = &icon.pixels[(static_cast<std::size_t>(y) * side + x) * 4];
            const bool titleBar = py < low + (high - low) * 0.25;
            const double shade = (py - low) / (high - low);
            if (titleBar) {
                p[0] = 52, p[1] = 73, p[2] = 94;
            } else {
                p[0] = static_cast<unsigned char>(220 - 40 * shade);
                p[1] = static_cast<unsigned char>(228 - 40 * shade);
                p[2] = static_cast<unsigned char>(236 - 30 * shade);
            }
            p[3] = static_cast<unsigned char>(std::lround(255 * coverage));
        }
    }
    return icon;
}

} // namespace host::bundles
