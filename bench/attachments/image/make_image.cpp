// Writes the large pictures that bench/attachments/memory.sh prepares: any shape up to
// the pixel cap, in each format and layout the image path reads.
//
//   make_image KIND WIDTH HEIGHT OUTPUT
//
// KIND: png, png-interlaced, png-rgba, jpeg, tiff-strips, tiff-one-strip (LZW),
// tiff-one-strip-differenced (LZW, predictor 2), tiff-one-strip-deflate (Adobe Deflate),
// tiff-one-strip-packbits, tiff-tiled, webp, webp-lossless, gif, gif-interlaced, avif.
#include "format_fixtures.h"
#include "image_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

namespace {

using namespace fixtures;

std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

// Smooth waves with a little grain, so that the files compress as photographs do.
Picture scene(int width, int height, int levels = 256) {
    return makePicture(width, height, [=](int x, int y) {
        const std::uint32_t hash =
            static_cast<std::uint32_t>(x) * 2654435761u ^ static_cast<std::uint32_t>(y) * 40503u;
        const double grain = static_cast<double>(hash >> 28) - 8.0;
        const auto quantise = [&](double v) {
            const int step = 256 / levels;
            return channel(std::floor(v / step) * step);
        };
        return Rgba{quantise(128 + 100 * std::sin(x * 0.013 + y * 0.007) + grain),
                    quantise(128 + 100 * std::cos(x * 0.005 - y * 0.011) + grain),
                    quantise(128 + 90 * std::sin((x + y) * 0.003)), 255};
    });
}

Picture translucent(int width, int height) {
    Picture picture = scene(width, height);
    for (std::size_t i = 0; i < picture.pixels.size(); ++i)
        picture.pixels[i].a = static_cast<std::uint8_t>(64 + i % 191);
    return picture;
}

} // namespace

int main(int argc, char** argv) try {
    if (argc != 5) {
        std::fputs("usage: make_image KIND WIDTH HEIGHT OUTPUT\n", stderr);
        return 2;
    }
    const std::string_view kind = argv[1];
    const int width = std::stoi(argv[2]);
    const int height = std::stoi(argv[3]);
    const std::filesystem::path out = argv[4];
    if (kind == "png") {
        writePng(out, scene(width, height));
    } else if (kind == "png-interlaced") {
        writePng(out, scene(width, height), {.interlaced = true});
    } else if (kind == "png-rgba") {
        writePng(out, translucent(width, height), {.kind = PngKind::Rgba8});
    } else if (kind == "png-16") {
        writePng(out, scene(width, height), {.kind = PngKind::Rgb16});
    } else if (kind == "jpeg") {
        writeJpeg(out, scene(width, height), {.quality = 90});
    } else if (kind == "tiff-strips") {
        writeTiff(out, scene(width, height));
    } else if (kind == "tiff-one-strip") {
        writeTiff(out, scene(width, height), {.rowsPerStrip = 0});
    } else if (kind == "tiff-one-strip-differenced") {
        writeTiff(out, scene(width, height), {.rowsPerStrip = 0, .differenced = true});
    } else if (kind == "tiff-one-strip-deflate") {
        writeTiff(out, scene(width, height),
                  {.rowsPerStrip = 0, .compression = TiffCompression::AdobeDeflate});
    } else if (kind == "tiff-one-strip-packbits") {
        writeTiff(out, scene(width, height),
                  {.rowsPerStrip = 0, .compression = TiffCompression::PackBits});
    } else if (kind == "tiff-tiled") {
        writeTiff(out, scene(width, height), {.tileSide = 256});
    } else if (kind == "webp") {
        writeWebp(out, scene(width, height));
    } else if (kind == "webp-lossless") {
        writeWebp(out, scene(width, height), {.lossless = true});
    } else if (kind == "gif") {
        writeGif(out, width, height, {{scene(width, height, 4)}});
    } else if (kind == "gif-interlaced") {
        writeGif(out, width, height, {{scene(width, height, 4), 0, 0, true}});
    } else if (kind == "avif") {
        writeAvif(out, scene(width, height));
    } else if (kind == "heic") {
        writeHeic(out, scene(width, height));
    } else {
        std::fprintf(stderr, "unknown kind %s\n", argv[1]);
        return 2;
    }
    return 0;
} catch (const std::exception& error) {
    std::fprintf(stderr, "make_image: %s\n", error.what());
    return 1;
}
