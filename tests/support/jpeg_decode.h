#pragma once
// Reading back what the programs encode: strict base64, and JPEG bytes or files to RGB
// pixels.

#include <optional>
#include <string>
#include <vector>

namespace test_support {

// Strict standard base64 (padded, no line breaks); nothing for anything else.
std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text);

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // three bytes a pixel, rows packed, top to bottom
    struct Rgb {
        int r, g, b;
    };
    Rgb at(int x, int y) const {
        const unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

// Nothing when the bytes are not a whole JPEG.
std::optional<RgbImage> decodeJpeg(const std::vector<unsigned char>& bytes);
// The JPEG file at `path`; nothing when it is missing or not a whole JPEG.
std::optional<RgbImage> readJpeg(const std::string& path);

} // namespace test_support
