#pragma once
// GIF, WebP, TIFF and HEIF files written by the tests with the codec libraries.

#include "image_fixtures.h"

namespace fixtures {

struct GifFrame {
    Picture picture; // alpha 0 marks transparent pixels
    int left = 0;
    int top = 0;
    bool interlaced = false;
};
void writeGif(const std::filesystem::path& path, int screenWidth, int screenHeight,
              const std::vector<GifFrame>& frames);

struct WebpOptions {
    bool lossless = false;
    int orientation = 0;
};
void writeWebp(const std::filesystem::path& path, const Picture& picture,
               const WebpOptions& options = {});
// An animation of `frames` frames, each the whole canvas.
void writeAnimatedWebp(const std::filesystem::path& path, const std::vector<Picture>& frames);

enum class TiffCompression { None, Lzw, Deflate, AdobeDeflate, PackBits };

struct TiffOptions {
    int orientation = 1;
    bool alpha = false;   // unassociated alpha
    bool sixteen = false; // 16 bits a sample
    int pages = 1;
    int rowsPerStrip = 8; // 0: the whole picture in one strip
    int tileSide = 0;     // tiles of this many pixels square (a multiple of 16) instead of strips
    bool separatePlanes = false; // each sample in a plane of its own (strips only)
    TiffCompression compression = TiffCompression::Lzw;
    bool differenced = false; // horizontal differencing (predictor 2)
    bool grey = false;        // one grey sample (the red one) instead of RGB
    bool bigTiff = false;     // 64-bit offsets
    bool bigEndian = false;   // stored most significant byte first
};
void writeTiff(const std::filesystem::path& path, const Picture& picture,
               const TiffOptions& options = {});

// AVIF through libheif and aom; `images` top-level images, the primary turned by the
// EXIF-numbered `orientation` (written as irot/imir), with the picture's alpha when `alpha`.
void writeAvif(const std::filesystem::path& path, const Picture& picture, int orientation = 1,
               int images = 1, bool alpha = false);
// HEIC through libheif and x265.
void writeHeic(const std::filesystem::path& path, const Picture& picture, bool alpha = false);

} // namespace fixtures
