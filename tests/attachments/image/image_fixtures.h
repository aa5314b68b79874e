#pragma once
// Small images written by the tests themselves, with the codec libraries.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fixtures {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// A picture in memory, four bytes a pixel, built from a function of the position.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
    Rgba at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Picture makePicture(int width, int height, const std::function<Rgba(int x, int y)>& colour);

// A TIFF-structured EXIF block holding only an orientation tag (no "Exif\0\0" header).
std::vector<std::uint8_t> exifWithOrientation(int orientation);

// ICC profiles built with lcms2: sRGB primaries with a linear response, and an RGB
// profile whose red and green primaries are swapped; a linear grey profile.
std::vector<std::uint8_t> linearRgbProfile();
std::vector<std::uint8_t> swappedRedGreenProfile();
std::vector<std::uint8_t> linearGreyProfile();

struct JpegOptions {
    int quality = 95;
    int orientation = 0; // 0: no EXIF block
    std::vector<std::uint8_t> icc;
    bool grey = false;
    bool progressive = false;
    std::vector<std::uint8_t> app2; // an APP2 segment's contents, written after any EXIF
};
void writeJpeg(const std::filesystem::path& path, const Picture& picture,
               const JpegOptions& options = {});

// An APP2 Multi-Picture index listing `images` images (their sizes and offsets zero):
// NumberOfImages and the MP entries, or with `withCount` false the entries alone.
std::vector<std::uint8_t> mpfSegment(std::uint32_t images, bool bigEndian = true,
                                     bool withCount = true);
// A multi-picture file as stereo cameras write it: the JPEGs one after the other, the
// first carrying the index that lists them all with their sizes and offsets.
void writeMpo(const std::filesystem::path& path, const std::vector<Picture>& images);
// CMYK as Photoshop writes it: an Adobe marker and inverted values (255 = no ink).
// `ink` gives C, M, Y, K in 0..255 (255 = full ink).
void writeAdobeCmykJpeg(const std::filesystem::path& path, int width, int height,
                        const std::array<std::uint8_t, 4>& ink);

enum class PngKind { Rgb8, Rgba8, Rgb16, Grey8, Palette };
struct PngOptions {
    PngKind kind = PngKind::Rgb8;
    int orientation = 0;
    std::vector<std::uint8_t> icc;
    bool interlaced = false;
};
void writePng(const std::filesystem::path& path, const Picture& picture,
              const PngOptions& options = {});
std::vector<std::uint8_t> pngBytes(const Picture& picture, const PngOptions& options = {});

// A PNG chunk with its length and CRC, and a file assembled from chunks.
std::vector<std::uint8_t> pngChunk(const char* type, const std::vector<std::uint8_t>& body);
// Inserts `chunks` right before the first IDAT of `png`.
std::vector<std::uint8_t> insertBeforeIdat(const std::vector<std::uint8_t>& png,
                                           const std::vector<std::uint8_t>& chunks);
// A signature, an IHDR claiming `width` × `height` (8-bit RGB), an IDAT without pixel
// data, and IEND.
std::vector<std::uint8_t> pngHeaderOnly(std::uint32_t width, std::uint32_t height);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

} // namespace fixtures
